#pragma once

#include <string>

#include "core/common/ManualResetEvent.h"

// Process-wide events of trap monitoring, created not signalled and kept for
// the whole run.

// Stop request to the trap listener: reset before it starts, set to end it.
extern ManualResetEvent stopTrapEvent;

// How a configuration upload learns its outcome from the trap listener. The
// upload names the terminal and sets uploadTrapEvent; the first trap from that
// terminal resets it and sets uplGoodTrapEvent (transfer done) or
// uplBadTrapEvent (anything else).
extern ManualResetEvent uploadTrapEvent;
extern ManualResetEvent uplGoodTrapEvent;
extern ManualResetEvent uplBadTrapEvent;

// The dotted address of the terminal whose upload outcome is awaited.
std::string GetUploadTarget();
void SetUploadTarget(const std::string& terminalIP);

// The upload's side: awaits the outcome trap from `terminalIP`. The target is
// set and both outcome events cleared before uploadTrapEvent is set, in one step
// that the listener's check never sees half done.
void AwaitUploadOutcome(const std::string& terminalIP);
// The upload's side: stops waiting (it timed out or was abandoned).
void StopAwaitingUploadOutcome();

// The listener's side, for every trap with an IPv4 sender: decides an awaited
// upload when `senderIP` is its terminal.
void UploadOutcomeCheck(const std::string& senderIP, int generic, int specific);
