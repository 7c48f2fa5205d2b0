// The console waits every part of the program may need: clearing the window,
// "Press Enter to continue" with its key read, and the bare key read of the
// /P pause. Without a console a wait ends at once.
#pragma once

// Clears the console window (only when there is one) and homes the cursor.
void clearScreen();
// "Folmar==>  Press Enter to continue \n", then one key press, then every key
// press already waiting is read and discarded. Returns at once without a console.
void waitForKey();
// The key part of waitForKey without the message: one key (both parts of a
// two-part key), then the type-ahead.
void readKeyAndDrain();
