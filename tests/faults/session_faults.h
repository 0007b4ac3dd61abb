#pragma once

#include "tests/support/scripted_ftp_peer.h"

#include <chrono>
#include <string>
#include <vector>

// The steps of one client session at which a server can fail, and how it fails. A scripted peer
// plays a healthy server up to the chosen step and then the fault.
namespace FaultMatrix {

enum class Step {
    Connect,
    Banner,
    User,
    Pass,
    Cwd,
    Pwd,
    List,
    Type,
    Size,
    Eprt,
    DataAccept,
    RetrMidData,
    StorMidData,
    FinalReply
};

enum class Fault { Close, Reset, Stall, Garbage };

const std::vector<Step>& allSteps();
const std::vector<Fault>& allFaults();
std::string stepName(Step step);
std::string faultName(Fault fault);

// Time-outs of the client under test: short, so that stalls stay affordable.
constexpr auto kConnectTimeout = std::chrono::milliseconds(1500);
constexpr auto kReadTimeout = std::chrono::milliseconds(600);
// What a failure may take beyond the time-out that governs its step.
constexpr auto kMargin = std::chrono::milliseconds(2000);

// The time-out that bounds a failure at this step.
std::chrono::milliseconds governingTimeout(Step step);

// Healthy replies up to step, then the fault. Connect faults other than reset/garbage need no peer
// script (see ConnectStallListener and an address nobody listens on).
void scriptFaultySession(TestSupport::ScriptedFtpPeer& peer, Step step, Fault fault);

// A healthy session for the recovery check: login, PWD, one LIST of a few bytes.
void scriptHealthySession(TestSupport::ScriptedFtpPeer& peer);

// Bytes of the upload in the session: more than loopback socket buffers hold, so a peer that stops
// reading blocks the sender.
constexpr std::size_t kUploadBytes = 32u << 20;

} // namespace FaultMatrix
