// One request to stop the device operation that is running.
//
// A front end raises it when the user asks to quit (a signal, the window's
// close box) while a link check, a rate change or a download runs. Every
// paced wait, the download loop and the protocol's pauses look at it at least
// every few milliseconds; a stopped operation returns as an unanswered one
// would, and a stopped download returns no picture and no error, so that
// nothing is shown for it. The next command clears it when it starts.
//
// stopRequest() is a single lock-free atomic store: safe from a signal handler
// and from any thread.
#pragma once

void stopRequest();
bool stopRequested();
void stopClear();
