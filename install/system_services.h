// Two services of the operating system that the software-install flow relies on: the restart of
// the still-image service and the test for the operating system's own setup. They log nothing.
// Portable logic.
#pragma once

// Lets the still-image monitor know that the scanner's events changed: posts it a message when
// its window exists; otherwise stops the running still-image service, waits for it to stop (from
// 5 to about 20 seconds) and starts it again. A service that is not running is left alone.
// Always answers 1; every failure just ends the step.
int RestartStillImageService();

// True while the operating system's setup runs ("SystemSetupInProgress" below "System\\Setup"
// with a non-zero lowest byte). Read once per load of the library; later calls answer from that
// reading.
bool IsSystemSetupInProgress();

// Forgets the reading, so that the next call reads again. The library's global object calls it
// when it is built: a load of the library starts without a reading, also where the same code
// serves several loads in one host process.
void ForgetSystemSetupReading();
