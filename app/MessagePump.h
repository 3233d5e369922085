// Keeping the window alive during a long step on the user-interface thread:
// pending events are processed without waiting, and a request to quit the
// application is noticed and passed on to the main loop.
#pragma once

namespace tessaline {

// Processes the pending events, if any, and otherwise yields the rest of the
// time slice.  True when a request to quit the application has arrived (it
// stays pending for the main loop).
bool ProcessOneMessage();

// Runs ProcessOneMessage until `milliseconds` have passed on a monotonic
// clock or a quit request arrives.
void Delay(int milliseconds);

// True from the moment a quit request is seen by ProcessOneMessage or Delay
// until the application's main loop has ended.
bool QuitRequested();

}  // namespace tessaline
