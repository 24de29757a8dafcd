// The transfer session, ticked by hand, against the simulated device: what goes on the wire and
// what the user sees, line by line.

#include "device/TransferSession.h"
#include "DeviceTestSupport.h"
#include "SessionDouble.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>

using namespace salvo;
using namespace salvo::test;

namespace {

const Lines Instructions = {
    "Connectez le ignivelle au PC par la liaison série.",
    "Mettez en marche l'appareil en appuyant sur le bouton.",
    "Appuyez sur \"Connecter\" pour lancer le transfert.",
};

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A document of the given model whose channels all carry distinct words.
void FillProgram(CP02& port, int model) {
    port.SetModel(model);
    for (int i = 0; i < SlotCount; ++i) {
        port.SetChannelType(i, (i % 4 == 2) ? Automatic : Manual);
        port.Slots[static_cast<size_t>(i)].Steps = 100u * static_cast<uint32_t>(i) + 3;
    }
}

WireSeq Identification(const std::string& typeCode, uint32_t serial, int major, int minor) {
    WireSeq w;
    w.Connect().TypeCode(typeCode);
    for (int i = 0; i < 4; ++i)
        w.ReadRegister(0xF1 + i, (serial >> (8 * i)) & 0xFF);
    w.ReadRegister(0xF5, major).ReadRegister(0xF6, minor);
    return w;
}

bool AnyRegisterWrite(const WireLog& log) {
    return std::any_of(log.begin(), log.end(),
                       [](const WireByte& b) { return b.first && b.second == 0x8B; });
}

const std::string TransmissionBox =
    "Une erreur de transmission est survenue.\n\n\r Vous pouvez essayer de recommencer un autre "
    "transfert.";

} // namespace

TEST(Session, ThirtyChannelTransferBytesAndMemo) {
    sim::DeviceOptions options;
    options.SerialNumber = 123456;
    options.VersionMajor = 2;
    options.VersionMinor = 5;
    auto device = StartSimulator(options);
    CP02 port;
    port.PortName = device->SlavePath();
    FillProgram(port, 2);
    DialogDouble dialog(&port, 123456);
    EXPECT_EQ(dialog.Memo, Instructions);

    dialog.Session.Start();
    EXPECT_EQ(dialog.Memo, (Instructions + Lines{" ", "Recherche de la connexion."}));
    EXPECT_TRUE(dialog.TimerOn);
    EXPECT_EQ(dialog.Interval, 1500);
    EXPECT_FALSE(dialog.ConnectionEnabled);
    EXPECT_TRUE(dialog.CancelEnabled);
    EXPECT_FALSE(dialog.ProgressShown);

    // Search, model, serial number: three ticks, then the data at 200 ms.
    dialog.Run(3);
    EXPECT_EQ(dialog.Session.TransferState, StepData);
    EXPECT_EQ(dialog.Interval, 200);
    EXPECT_TRUE(dialog.ProgressShown);
    EXPECT_EQ(dialog.Session.ProgressStep(), 3);
    dialog.Run(30);
    EXPECT_EQ(dialog.Session.TransferState, StepEnd);
    EXPECT_EQ(dialog.Position, 90);
    EXPECT_EQ(dialog.Run(), 1);
    EXPECT_EQ(dialog.Positions[dialog.Positions.size() - 2],
              100); // the last tick, before the reset

    EXPECT_EQ(dialog.Memo, (Instructions +
                            Lines{" ", "Recherche de la connexion.", "Appareil connecté", " ",
                                  "Demande du type d'appareil", "Ignivelle V30", " ",
                                  "Demande du numéro de série", "Le numéro de série est : 123456",
                                  "La version du circuit est 2.5", " ", "Transmission des données",
                                  "Transmission réussie", " "} +
                            Instructions));
    ASSERT_EQ(dialog.Boxes.size(), 1u);
    EXPECT_EQ(dialog.Boxes[0].first, "La programmation du ignivelle a réussi.");
    EXPECT_EQ(dialog.Boxes[0].second, InfoButton::Yes);
    EXPECT_EQ(dialog.Events, (std::vector<std::string>{"repaint", "beep", "box"}));
    EXPECT_TRUE(dialog.ConnectionEnabled);
    EXPECT_FALSE(dialog.CancelEnabled);
    EXPECT_TRUE(dialog.QuitEnabled);
    EXPECT_FALSE(dialog.ProgressShown);
    EXPECT_EQ(dialog.Position, 0);
    EXPECT_FALSE(dialog.TimerOn);

    WireSeq expected = Identification("P02", 123456, 2, 5);
    for (int i = 0; i < 30; ++i)
        expected.WriteWord(2 * i, port.ChannelWord(i));
    expected.EndSession();
    ASSERT_TRUE(device->WaitReceived(expected.FromProgram()));
    EXPECT_EQ(Describe(WireOf(*device)), expected.Text());
    auto registers = device->Registers();
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(registers[static_cast<size_t>(2 * i)] | registers[static_cast<size_t>(2 * i + 1)]
                                                              << 8,
                  port.ChannelWord(i));
    // The port stays with the document after a transfer.
    EXPECT_TRUE(port.PortOpen());
}

TEST(Session, FifteenChannelsStopAt45ThenFull) {
    sim::DeviceOptions options;
    options.Model = 0;
    auto device = StartSimulator(options);
    CP02 port;
    port.PortName = device->SlavePath();
    FillProgram(port, 0);
    DialogDouble dialog(&port, 0);
    dialog.Session.Start();
    dialog.Run(3 + 15);
    EXPECT_EQ(dialog.Session.SendIndex, 15);
    EXPECT_EQ(dialog.Position, 45);
    dialog.Run();
    EXPECT_EQ(dialog.Positions[dialog.Positions.size() - 2], 100);
    EXPECT_TRUE(dialog.MemoHas("Ignivelle"));
    EXPECT_TRUE(dialog.MemoHas("Transmission réussie"));
    device->Settle();
    auto registers = device->Registers();
    EXPECT_EQ(registers[0x1C] | registers[0x1D] << 8, port.ChannelWord(14));
    EXPECT_EQ(registers[0x1E], 0); // channel 16 is not sent
}

TEST(Session, SerialNumberAboveSignedRangeShownAndMatchedUnsigned) {
    sim::DeviceOptions options;
    options.SerialNumber = 3000000000u;
    auto device = StartSimulator(options);
    CP02 port;
    port.PortName = device->SlavePath();
    DialogDouble dialog(&port, 3000000000u);
    dialog.Session.Start();
    dialog.Run();
    EXPECT_TRUE(dialog.MemoHas("Le numéro de série est : 3000000000"));
    EXPECT_TRUE(dialog.Questions.empty());
    EXPECT_TRUE(dialog.MemoHas("Transmission réussie"));
}

TEST(Session, SerialQuestionAnsweredNoWritesNothingAndShowsNoBox) {
    sim::DeviceOptions options;
    options.SerialNumber = 3000000000u;
    auto device = StartSimulator(options);
    CP02 port;
    port.PortName = device->SlavePath();
    DialogDouble dialog(&port, 0);
    dialog.Answer = false;
    dialog.Session.Start();
    dialog.Run();
    ASSERT_EQ(dialog.Questions.size(), 1u);
    EXPECT_EQ(dialog.Questions[0],
              "Le numéro de série du ignivelle (3000000000) n'est pas le numéro de série "
              "enregistré (0)\n\n\rVoulez vous programmer ce ignivelle avec ce programme?");
    EXPECT_EQ(dialog.Events, (std::vector<std::string>{"repaint", "question"}));
    EXPECT_TRUE(dialog.Boxes.empty());
    EXPECT_EQ(
        Lines(dialog.Memo.end() - 6, dialog.Memo.end()),
        (Lines{" ", "Programmation abandonnée! Mauvais numéro de série.", " "} + Instructions));
    WireSeq expected = Identification("P02", 3000000000u, 1, 0);
    expected.EndSession();
    ASSERT_TRUE(device->WaitReceived(expected.FromProgram()));
    EXPECT_EQ(Describe(WireOf(*device)), expected.Text());
    EXPECT_TRUE(dialog.ConnectionEnabled);
    EXPECT_FALSE(dialog.CancelEnabled);
}

TEST(Session, SerialQuestionAnsweredYesGoesOnAt200) {
    sim::DeviceOptions options;
    options.SerialNumber = 42;
    auto device = StartSimulator(options);
    CP02 port;
    port.PortName = device->SlavePath();
    DialogDouble dialog(&port, 41);
    dialog.Answer = true;
    dialog.Session.Start();
    dialog.Run(3);
    EXPECT_EQ(dialog.Questions.size(), 1u);
    EXPECT_TRUE(dialog.TimerOn);
    EXPECT_EQ(dialog.Interval, 200);
    dialog.Run();
    EXPECT_TRUE(dialog.MemoHas("Transmission réussie"));
}

TEST(Session, WrongModelEndsBeforeAnyRegister) {
    sim::DeviceOptions options;
    options.Model = 0;
    auto device = StartSimulator(options);
    CP02 port;
    port.PortName = device->SlavePath();
    DialogDouble dialog(&port, 0);
    dialog.Session.Start();
    dialog.Run();
    EXPECT_EQ(dialog.Memo,
              (Instructions +
               Lines{" ", "Recherche de la connexion.", "Appareil connecté", " ",
                     "Demande du type d'appareil", " ", "Mauvais type d'appareil", " "} +
               Instructions));
    ASSERT_EQ(dialog.Boxes.size(), 1u);
    EXPECT_EQ(dialog.Boxes[0].first, "Le type d'appareil ne correspond pas à un Ignivelle.\n\n\r"
                                     "L'appareil n'est pas un Ignivelle!");
    WireSeq expected;
    expected.Connect().TypeCode("P01").EndSession();
    ASSERT_TRUE(device->WaitReceived(expected.FromProgram()));
    EXPECT_EQ(Describe(WireOf(*device)), expected.Text());
}

TEST(Session, RefusedChannelWriteEndsWithTransmissionErrorAndRestartsAtOnce) {
    sim::DeviceOptions options;
    options.NakWrite = 7; // the fourth channel's low byte
    auto device = StartSimulator(options);
    CP02 port;
    port.PortName = device->SlavePath();
    FillProgram(port, 2);
    DialogDouble dialog(&port, 0);
    dialog.Answer = true;
    dialog.Session.Start();
    dialog.Run();
    EXPECT_EQ(dialog.Session.SendIndex, 3);
    EXPECT_EQ(dialog.Memo.end()[-6], "Erreur de transmission"); // then the half-written warning
    ASSERT_EQ(dialog.Boxes.size(), 1u);
    EXPECT_EQ(dialog.Boxes[0].first, TransmissionBox);
    EXPECT_EQ(dialog.Boxes[0].second, InfoButton::Ok);
    EXPECT_TRUE(dialog.ConnectionEnabled);

    dialog.Session.Start(); // the refusal was once only
    dialog.Run();
    EXPECT_EQ(dialog.Memo.end()[-5], "Transmission réussie");
    device->Settle();
    auto registers = device->Registers();
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(registers[static_cast<size_t>(2 * i)] | registers[static_cast<size_t>(2 * i + 1)]
                                                              << 8,
                  port.ChannelWord(i));
}

// The one session test on a real time-out: the tick that meets the silence returns after it.
TEST(Session, DeviceFallingSilentInDataStepOnPty) {
    sim::DeviceOptions options;
    auto device = StartSimulator(options);
    CP02 port;
    port.PortName = device->SlavePath();
    DialogDouble dialog(&port, 0);
    dialog.Session.Start();
    dialog.Run(3 + 2);
    ASSERT_EQ(dialog.Session.SendIndex, 2);
    device->Settle();
    options.SilentAfter = 0;
    device->SetOptions(options);
    auto start = std::chrono::steady_clock::now();
    dialog.Session.Tick();
    double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(elapsed, 1.05);
    EXPECT_LT(elapsed, 2.0);
    EXPECT_FALSE(dialog.TimerOn);
    device->SetOptions(sim::DeviceOptions{}); // back before the ending ends the session
    dialog.Run();
    EXPECT_EQ(dialog.Memo.end()[-6], "Erreur de transmission");
    EXPECT_EQ(dialog.Boxes.at(0).first, TransmissionBox);
    dialog.Session.Start();
    dialog.Run();
    EXPECT_EQ(dialog.Memo.end()[-5], "Transmission réussie");
}

// Silence costs no real time on the in-memory line.
TEST(Session, SilenceInDataStepThenRestart) {
    EnginePort p;
    p.Port->EndSession();
    FillProgram(*p.Port, 2);
    auto live = p.State->Device;
    // Silent from the 11th register write on: the sixth channel's low byte.
    p.State->Device = [live, writes = 0](uint8_t b) mutable {
        if (b == 0x8B)
            ++writes;
        return writes >= 11 ? std::vector<uint8_t>{} : live(b);
    };
    DialogDouble dialog(p.Port.get(), 0);
    dialog.Session.Start();
    dialog.Run();
    EXPECT_EQ(dialog.Session.SendIndex, 5);
    EXPECT_EQ(dialog.Memo.end()[-6], "Erreur de transmission");
    EXPECT_EQ(dialog.Boxes.at(0).first, TransmissionBox);

    p.State->Device = live;
    dialog.Session.Start();
    dialog.Run();
    EXPECT_EQ(dialog.Memo.end()[-5], "Transmission réussie");
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(p.Engine->Registers[static_cast<size_t>(2 * i)] |
                      p.Engine->Registers[static_cast<size_t>(2 * i + 1)] << 8,
                  p.Port->ChannelWord(i));
}

TEST(Session, SearchWithoutAnswerShowsNothingAndKeepsSearching) {
    auto state = std::make_shared<LineState>();
    auto port = MemoryPort(state);
    DialogDouble dialog(port.get(), 0);
    dialog.Session.Start();
    dialog.Run(5);
    EXPECT_EQ(dialog.Session.TransferState, StepSearch);
    EXPECT_EQ(dialog.Memo, (Instructions + Lines{" ", "Recherche de la connexion."}));
    EXPECT_TRUE(dialog.TimerOn);
    EXPECT_EQ(dialog.Interval, 1500);
    auto written = state->Written();
    EXPECT_EQ(std::count(written.begin(), written.end(), 0x80), 5);
}

// A device whose model, serial number or version could not be read gets no program.
TEST(Session, UnreadIdentityEndsWithTransmissionErrorBeforeAnyWrite) {
    struct Case {
        const char* name;
        int digits;  // digits the device sends after the type code request, then silence
        Lines shown; // lines after "Demande du type d'appareil"
    };
    const Case cases[] = {
        {"type code", 3, {}},
        {"serial number", 6 + 2 * 2, {"Ignivelle V30", " ", "Demande du numéro de série"}},
        {"version",
         6 + 4 * 2 + 3,
         {"Ignivelle V30", " ", "Demande du numéro de série", "Le numéro de série est : 0"}},
    };
    for (const Case& c : cases) {
        EnginePort p;
        p.Port->EndSession();
        p.State->Device = [live = p.State->Device, limit = c.digits, counting = false,
                           sent = 0](uint8_t b) mutable {
            counting = counting || b == 0x86;
            if (counting && sent >= limit)
                return std::vector<uint8_t>{};
            auto r = live(b);
            if (counting)
                sent += static_cast<int>(r.size());
            return r;
        };
        DialogDouble dialog(p.Port.get(), 0);
        dialog.Session.Start();
        dialog.Run();
        Lines expected = Lines{" ", "Recherche de la connexion.", "Appareil connecté", " ",
                               "Demande du type d'appareil"} +
                         c.shown + Lines{" ", "Erreur de transmission", " "} + Instructions;
        EXPECT_EQ(Lines(dialog.Memo.begin() + 3, dialog.Memo.end()), expected) << c.name;
        EXPECT_EQ(dialog.Boxes.size(), 1u) << c.name;
        EXPECT_TRUE(dialog.Questions.empty()) << c.name;
        EXPECT_FALSE(AnyRegisterWrite(p.State->Wire)) << c.name;
        EXPECT_EQ(p.State->Written().back(), 0x04) << c.name; // the session was ended
    }
}

TEST(Session, PortThatCannotOpenShowsTheBoxAndChangesNothingElse) {
    CP02 port;
    port.PortName = "/dev/salvodesk-no-such-port";
    DialogDouble dialog(&port, 0);
    dialog.Session.Start();
    EXPECT_EQ(dialog.Memo,
              (Instructions + Lines{" ", "Recherche de la connexion.",
                                    "Le port /dev/salvodesk-no-such-port est absent : aucun port "
                                    "série ne lui correspond (adaptateur débranché ?)."}));
    ASSERT_EQ(dialog.Boxes.size(), 1u);
    EXPECT_EQ(dialog.Boxes[0].first, "Le port série n'est pas valide");
    EXPECT_FALSE(dialog.TimerOn);
    EXPECT_TRUE(dialog.ConnectionEnabled);
    EXPECT_FALSE(dialog.CancelEnabled);
}

TEST(Session, CancelSendsEndTwiceAndKeepsThePort) {
    auto device = StartSimulator();
    CP02 port;
    port.PortName = device->SlavePath();
    DialogDouble dialog(&port, 0);
    dialog.Session.Start();
    dialog.Run(1);
    device->Settle();
    device->ClearLog();
    dialog.Session.Cancel();
    EXPECT_EQ(dialog.Closings, 1);
    EXPECT_FALSE(dialog.TimerOn);
    EXPECT_TRUE(dialog.ConnectionEnabled);
    EXPECT_TRUE(dialog.CancelEnabled); // left as it was
    device->Settle();
    EXPECT_EQ(device->Received(), (std::vector<uint8_t>{0x04, 0x04}));

    // Another document on the same port cannot start a transfer.
    CP02 other;
    other.PortName = port.PortName;
    DialogDouble second(&other, 0);
    second.Session.Start();
    ASSERT_EQ(second.Boxes.size(), 1u);
    EXPECT_EQ(second.Boxes[0].first, "Le port série n'est pas valide");
    EXPECT_TRUE(port.PortOpen());
}

TEST(Session, QuitSendsEndTwiceAndReleasesThePort) {
    auto device = StartSimulator();
    CP02 port;
    port.PortName = device->SlavePath();
    DialogDouble dialog(&port, 0);
    dialog.Session.Start();
    device->ClearLog();
    dialog.Session.Quit();
    EXPECT_EQ(dialog.Closings, 1);
    EXPECT_FALSE(port.PortOpen());
    EXPECT_FALSE(dialog.TimerOn);
    device->Settle();
    EXPECT_EQ(device->Received(), (std::vector<uint8_t>{0x04, 0x04}));

    CP02 other;
    other.PortName = port.PortName;
    EXPECT_EQ(other.OpenPort(), 0);
}

TEST(Session, ActivatingTwiceGivesTheInstructionsOnly) {
    CP02 port;
    DialogDouble dialog(&port, 0);
    dialog.Session.Start();
    dialog.Session.Activate();
    dialog.Session.Activate();
    EXPECT_EQ(dialog.Memo, Instructions);
}

// A data step cut short leaves new channels up to some n and old ones after: the memo says so
// under the ending's own line, or last when the dialog closes, and again each time the dialog is
// shown until a new transfer starts. No channel written, or all of them, is no half-written
// device.
TEST(Session, HalfWrittenDeviceIsSaid) {
    enum class Cut { Nak, Cancel, Quit, Close, None };
    struct Case {
        const char* name;
        Cut cut;
        int at;      // the refused register write, or the channels sent before the cut
        int written; // n of the warning, 0 for none
    };
    const Case cases[] = {
        {"fourth channel refused", Cut::Nak, 7, 3},
        {"first channel refused", Cut::Nak, 1, 0},
        {"cancel after 5", Cut::Cancel, 5, 5},
        {"quit after 12", Cut::Quit, 12, 12},
        {"closed after 1", Cut::Close, 1, 1},
        {"cancel after the last channel", Cut::Cancel, 30, 0},
        {"complete", Cut::None, 0, 0},
    };
    for (const Case& c : cases) {
        sim::DeviceOptions options;
        if (c.cut == Cut::Nak)
            options.NakWrite = c.at;
        auto device = StartSimulator(options);
        CP02 port;
        port.PortName = device->SlavePath();
        FillProgram(port, 2);
        DialogDouble dialog(&port, 0);
        dialog.Session.Start();
        if (c.cut == Cut::Nak || c.cut == Cut::None) {
            dialog.Run();
        } else {
            dialog.Run(3 + c.at);
            ASSERT_EQ(dialog.Session.SendIndex, c.at) << c.name;
        }
        if (c.cut == Cut::Cancel)
            dialog.Session.Cancel();
        else if (c.cut == Cut::Quit)
            dialog.Session.Quit();
        else if (c.cut == Cut::Close)
            dialog.Session.Close();

        const Lines warning =
            c.written ? Lines{"Attention : l'appareil contient maintenant un programme incomplet "
                              "(voies 1 à " +
                              std::to_string(c.written) + " écrites). Recommencez le transfert."}
                      : Lines{};
        auto attentions = std::count_if(dialog.Memo.begin(), dialog.Memo.end(),
                                        [](auto& l) { return l.rfind("Attention", 0) == 0; });
        EXPECT_EQ(attentions, c.written ? 1 : 0) << c.name;
        if (c.cut == Cut::Nak) {
            Lines tail = Lines{" ", "Erreur de transmission"} + warning + Lines{" "} + Instructions;
            EXPECT_EQ(Lines(dialog.Memo.end() - static_cast<long>(tail.size()), dialog.Memo.end()),
                      tail)
                << c.name;
            ASSERT_EQ(dialog.Boxes.size(), 1u) << c.name;
            EXPECT_EQ(dialog.Boxes[0].first, TransmissionBox) << c.name;
        } else if (c.written) {
            EXPECT_EQ(dialog.Memo.back(), warning[0]) << c.name;
        }
        EXPECT_EQ(dialog.Session.IncompleteChannels(), c.written) << c.name;

        dialog.Session.Activate();
        EXPECT_EQ(dialog.Memo, Instructions + warning) << c.name;
        dialog.Session.Start();
        dialog.Session.Activate();
        EXPECT_EQ(dialog.Memo, Instructions) << c.name;
    }
}

// An adapter pulled out while the device is searched for: said once, the dead port let go, and
// the device found again behind the same COM name once it is back, without leaving the dialog.
// On each opening the memo names what COM1 reaches, in the port dialog's words.
TEST(Session, AdapterPulledOutWhileSearchingIsFoundAgain) {
    ComLinks links;
    sim::DeviceOptions options;
    options.SerialNumber = 123456;
    options.VersionMajor = 2;
    options.VersionMinor = 5;
    auto device = StartSimulator(options);
    ASSERT_EQ(device->LinkAs(links.Link(1)), 0);
    CP02 port;
    port.SetPort(0);
    FillProgram(port, 2);
    DialogDouble dialog(&port, 123456);
    dialog.Session.Start();
    const std::string first = "COM1 : " + device->SlavePath() + " : pseudo-terminal";
    EXPECT_EQ(dialog.Memo, (Instructions + Lines{" ", "Recherche de la connexion.", first}));

    device->HangUp();
    EXPECT_EQ(dialog.Run(3), 3); // the loss, then nothing behind COM1
    const std::string lost = "Le port COM1 ne répond plus (adaptateur débranché ?).";
    EXPECT_EQ(dialog.Memo, (Instructions + Lines{" ", "Recherche de la connexion.", first, lost}));
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(dialog.Session.TransferState, StepSearch);
    EXPECT_TRUE(dialog.TimerOn);
    EXPECT_EQ(dialog.Interval, 1500);

    ASSERT_EQ(device->ComeBack(), 0);
    device->ClearLog();
    dialog.Run();
    const std::string again = "COM1 : " + device->SlavePath() + " : pseudo-terminal";
    ASSERT_GE(dialog.Memo.size(), 10u);
    EXPECT_EQ(Lines(dialog.Memo.begin() + 6, dialog.Memo.begin() + 10),
              (Lines{lost, again, "Appareil connecté", " "}));
    EXPECT_EQ(dialog.Memo.end()[-5], "Transmission réussie");
    // The new line carries exactly what a transfer sends on a port that never failed.
    WireSeq expected = Identification("P02", 123456, 2, 5);
    for (int i = 0; i < 30; ++i)
        expected.WriteWord(2 * i, port.ChannelWord(i));
    expected.EndSession();
    ASSERT_TRUE(device->WaitReceived(expected.FromProgram()));
    EXPECT_EQ(Describe(WireOf(*device)), expected.Text());
}
