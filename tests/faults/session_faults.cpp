#include "tests/faults/session_faults.h"

namespace FaultMatrix {

using TestSupport::ScriptedFtpPeer;

namespace {

// The server's answer to the command just read is the fault itself.
void replyFault(ScriptedFtpPeer& peer, Fault fault)
{
    switch (fault) {
    case Fault::Close:
        peer.close();
        break;
    case Fault::Reset:
        peer.reset();
        break;
    case Fault::Stall:
        peer.stall();
        break;
    case Fault::Garbage:
        peer.garbage().stall();
        break;
    }
}

} // namespace

const std::vector<Step>& allSteps()
{
    static const std::vector<Step> steps = {Step::Connect, Step::Banner,     Step::User,        Step::Pass,
                                            Step::Cwd,     Step::Pwd,        Step::List,        Step::Type,
                                            Step::Size,    Step::Eprt,       Step::DataAccept,  Step::RetrMidData,
                                            Step::StorMidData, Step::FinalReply};
    return steps;
}

const std::vector<Fault>& allFaults()
{
    static const std::vector<Fault> faults = {Fault::Close, Fault::Reset, Fault::Stall, Fault::Garbage};
    return faults;
}

std::string stepName(Step step)
{
    switch (step) {
    case Step::Connect: return "Connect";
    case Step::Banner: return "Banner";
    case Step::User: return "User";
    case Step::Pass: return "Pass";
    case Step::Cwd: return "Cwd";
    case Step::Pwd: return "Pwd";
    case Step::List: return "List";
    case Step::Type: return "Type";
    case Step::Size: return "Size";
    case Step::Eprt: return "Eprt";
    case Step::DataAccept: return "DataAccept";
    case Step::RetrMidData: return "RetrMidData";
    case Step::StorMidData: return "StorMidData";
    case Step::FinalReply: return "FinalReply";
    }
    return "?";
}

std::string faultName(Fault fault)
{
    switch (fault) {
    case Fault::Close: return "Close";
    case Fault::Reset: return "Reset";
    case Fault::Stall: return "Stall";
    case Fault::Garbage: return "Garbage";
    }
    return "?";
}

std::chrono::milliseconds governingTimeout(Step step)
{
    return step == Step::Connect || step == Step::Banner ? kConnectTimeout : kReadTimeout;
}

void scriptFaultySession(ScriptedFtpPeer& peer, Step step, Fault fault)
{
    if (step == Step::Connect) {
        // A peer that is not an FTP server at all, or one that refuses with RST on arrival.
        if (fault == Fault::Reset)
            peer.reset();
        else
            peer.foreignBanner().stall();
        return;
    }
    if (step == Step::Banner) {
        if (fault == Fault::Close || fault == Fault::Reset)
            peer.send("220-Bem-vindo ao servidor\r\n"); // cut in the middle of a multi-line banner
        replyFault(peer, fault);
        return;
    }
    peer.reply("220 pronto");
    auto answer = [&](const char* verb, Step at, const char* good) {
        peer.expect(verb);
        if (at == step) {
            replyFault(peer, fault);
            return false;
        }
        peer.reply(good);
        return true;
    };
    if (!answer("USER", Step::User, "331 senha") || !answer("PASS", Step::Pass, "230 entrou")
        || !answer("CWD", Step::Cwd, "250 ok") || !answer("PWD", Step::Pwd, "257 \"/XMLFTP\" atual")
        || !answer("EPRT", Step::Eprt, "200 ok") || !answer("LIST", Step::List, "150 listando"))
        return;
    peer.dataConnect().dataSend(3000).dataClose().reply("226 ok");
    if (!answer("TYPE", Step::Type, "200 binario") || !answer("SIZE", Step::Size, "213 600000"))
        return;

    // The download.
    peer.expect("EPRT").reply("200 ok").expect("RETR").reply("150 enviando");
    if (step == Step::DataAccept) {
        // The server never opens the data connection: it dies, or stalls, or babbles on control.
        replyFault(peer, fault);
        return;
    }
    peer.dataConnect().dataSend(300000);
    if (step == Step::RetrMidData) {
        switch (fault) {
        case Fault::Close:
            peer.dataClose().close();
            break;
        case Fault::Reset:
            peer.dataReset().reset();
            break;
        case Fault::Stall:
            peer.stall();
            break;
        case Fault::Garbage:
            peer.garbage().dataSend(300000).dataClose().stall();
            break;
        }
        return;
    }
    peer.dataSend(300000).dataClose();
    if (step == Step::FinalReply) {
        replyFault(peer, fault);
        return;
    }
    peer.reply("226 completo");

    // The upload.
    peer.expect("EPRT").reply("200 ok").expect("STOR").reply("150 recebendo").dataConnect().dataReceive(300000);
    switch (fault) {
    case Fault::Close:
        peer.dataClose().close();
        break;
    case Fault::Reset:
        peer.dataReset().reset();
        break;
    case Fault::Stall:
        peer.stall();
        break;
    case Fault::Garbage:
        peer.garbage().dataDrain().stall();
        break;
    }
}

void scriptHealthySession(ScriptedFtpPeer& peer)
{
    peer.login()
        .expect("PWD")
        .reply("257 \"/XMLFTP\"")
        .expect("EPRT")
        .reply("200 ok")
        .expect("LIST")
        .reply("150 ok")
        .dataConnect()
        .dataSend(100)
        .dataClose()
        .reply("226 ok");
}

} // namespace FaultMatrix
