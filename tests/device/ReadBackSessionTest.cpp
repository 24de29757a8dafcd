// Reading a device back, ticked by hand: the bytes on the wire (never a register write), what
// the user sees, the verdicts of "Vérifier" and the program handed out by "Lire", and the
// garbled, silent or vanished devices that must end in a transmission error.

#include "device/ReadBackSession.h"
#include "DeviceTestSupport.h"
#include "SessionDouble.h"

#include <algorithm>
#include <deque>
#include <gtest/gtest.h>
#include <optional>

using namespace salvo;
using namespace salvo::test;

namespace {

using Lines = std::vector<std::string>;

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Lines Instructions = {
    "Connectez le ignivelle au PC par la liaison série.",
    "Mettez en marche l'appareil en appuyant sur le bouton.",
    "Appuyez sur \"Connecter\" pour lancer la lecture.",
};

const std::string TransmissionBox =
    "Une erreur de transmission est survenue.\n\nVous pouvez recommencer la lecture.";

// Plays the read-back dialog: records what the session shows and delivers the posted endings
// after the tick that raised them.
class ReadBackDouble : public ReadBackReporter {
public:
    ReadBackSession Session{*this};
    Lines Memo;
    std::vector<std::string> Boxes; // "information: text" or "warning: text"
    std::vector<DeviceContents> Programs;
    bool TimerOn = false;
    std::vector<int> Intervals;
    bool ProgressShown = false;
    std::vector<int> Positions;
    bool ConnectionEnabled = true;
    bool CancelEnabled = false;
    std::deque<int> Posted; // -1 for success, else the failure code

    ReadBackDouble(CP02* link, ReadBackMode mode, uint32_t expectedSerial = 0) {
        Session.SetLink(link);
        Session.Mode = mode;
        Session.ExpectedSerial = expectedSerial;
        Session.Activate();
    }

    void ClearStatus() override { Memo.clear(); }
    void AddStatusLine(const std::string& line) override { Memo.push_back(line); }
    void RepaintStatus() override {}
    void ShowProgress(bool shown) override { ProgressShown = shown; }
    void SetProgressPosition(int position) override { Positions.push_back(position); }
    void SetTimerInterval(int ms) override { Intervals.push_back(ms); }
    void SetTimerEnabled(bool on) override { TimerOn = on; }
    void SetConnectionEnabled(bool on) override { ConnectionEnabled = on; }
    void SetCancelEnabled(bool on) override { CancelEnabled = on; }
    void SetQuitEnabled(bool) override {}
    void ShowInformation(const std::string& text, InfoButton) override {
        Boxes.push_back("information: " + text);
    }
    void ShowWarning(const std::string& text) override { Boxes.push_back("warning: " + text); }
    void Beep() override {}
    void PostSessionFailed(SessionFailure code) override { Posted.push_back(code); }
    void PostSessionSucceeded() override { Posted.push_back(-1); }
    void ProgramRead(const DeviceContents& contents) override { Programs.push_back(contents); }
    void CloseDialog() override { Session.Close(); }

    int Run(int maxTicks = 100) { return RunSession(Session, Posted, TimerOn, maxTicks); }

    // The lines after the instructions written when the dialog was shown.
    Lines Shown() const { return Lines(Memo.begin() + 3, Memo.end()); }
};

bool AnyRegisterWrite(const WireLog& log) {
    return std::any_of(log.begin(), log.end(),
                       [](const WireByte& b) { return b.first && b.second == Wire::WriteRequest; });
}

// A program whose channels all carry different words, some automatic.
std::vector<uint16_t> ProgramWords(int count) {
    std::vector<uint16_t> words;
    for (int i = 0; i < count; ++i)
        words.push_back(static_cast<uint16_t>((i % 3 == 1 ? 0x8000 : 0) + 7 * i + 1));
    return words;
}

void LoadWords(CP02& port, int model, const std::vector<uint16_t>& words) {
    port.SetModel(model);
    for (size_t i = 0; i < words.size(); ++i)
        port.Slots[i] = ChannelSlot{(words[i] & 0x8000) ? Automatic : Manual,
                                    static_cast<uint32_t>(words[i] & 0x7FFF)};
}

// Connect, type code, serial number and version, then the channel registers read in order.
WireSeq ReadBackWire(const std::string& typeCode, uint32_t serial, int major, int minor,
                     const std::vector<uint16_t>& words) {
    WireSeq w;
    w.Connect().TypeCode(typeCode);
    for (int i = 0; i < 4; ++i)
        w.ReadRegister(0xF1 + i, (serial >> (8 * i)) & 0xFF);
    w.ReadRegister(0xF5, major).ReadRegister(0xF6, minor);
    for (size_t i = 0; i < words.size(); ++i)
        w.ReadRegister(static_cast<int>(2 * i), words[i] & 0xFF)
            .ReadRegister(static_cast<int>(2 * i + 1), words[i] >> 8);
    return w.EndSession();
}

Lines Identified(const std::string& model, uint32_t serial, const std::string& version) {
    return {" ",
            "Recherche de la connexion.",
            "Appareil connecté",
            " ",
            "Demande du type d'appareil",
            model,
            " ",
            "Demande du numéro de série",
            "Le numéro de série est : " + std::to_string(serial),
            "La version du circuit est " + version,
            " ",
            "Lecture des données"};
}

} // namespace

TEST(ReadBack, OnlyUpperCaseHexDigitsPass) {
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(CP02::IsHexDigit(c), (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << c;
}

TEST(ReadBack, VerifyThirtyChannelsOnPty) {
    sim::DeviceOptions options;
    options.SerialNumber = 123456;
    options.VersionMajor = 2;
    options.VersionMinor = 5;
    options.Words = ProgramWords(30);
    auto device = StartSimulator(options);
    CP02 port;
    port.PortName = device->SlavePath();
    LoadWords(port, 2, options.Words);
    auto before = port.Slots;
    ReadBackDouble dialog(&port, ReadBackMode::Verify, 123456);

    dialog.Session.Start();
    EXPECT_TRUE(dialog.TimerOn);
    EXPECT_FALSE(dialog.ConnectionEnabled);
    EXPECT_TRUE(dialog.CancelEnabled);
    // Search, model, serial number, 30 channels, end.
    EXPECT_EQ(dialog.Run(), 1 + 1 + 1 + 30 + 1);
    EXPECT_EQ(dialog.Intervals, (std::vector<int>{1500, 0}));
    Lines expectedMemo = Instructions + Identified("Ignivelle V30", 123456, "2.5") +
                         Lines{"Lecture réussie", " "} + Instructions;
    EXPECT_EQ(dialog.Memo, expectedMemo);
    EXPECT_EQ(dialog.Boxes, (std::vector<std::string>{
                                "information: L'appareil contient exactement ce programme."}));
    EXPECT_TRUE(dialog.Programs.empty());
    EXPECT_TRUE(dialog.ConnectionEnabled);
    EXPECT_FALSE(dialog.CancelEnabled);
    EXPECT_FALSE(dialog.TimerOn);

    WireSeq expected = ReadBackWire("P02", 123456, 2, 5, options.Words);
    ASSERT_TRUE(device->WaitReceived(expected.FromProgram()));
    EXPECT_EQ(Describe(WireOf(*device)), expected.Text());
    EXPECT_FALSE(AnyRegisterWrite(WireOf(*device)));
    // The bar reaches 100 with the last channel; the document is untouched.
    auto at = std::find(dialog.Positions.begin(), dialog.Positions.end(), 100);
    ASSERT_NE(at, dialog.Positions.end());
    EXPECT_EQ(at[-1], 96);
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(port.ChannelWord(static_cast<int>(i)),
                  (before[i].Type ? 0x8000 : 0) + before[i].Steps);
}

TEST(ReadBack, ReadFifteenChannelsOnPty) {
    sim::DeviceOptions options;
    options.Model = 1;
    options.SerialNumber = 3000000000u;
    options.Words = ProgramWords(30);
    options.Words[0] = 0x8000 + 9; // channel 1 automatic in the device
    auto device = StartSimulator(options);
    CP02 port;
    port.PortName = device->SlavePath();
    ReadBackDouble dialog(&port, ReadBackMode::Read);
    dialog.Session.Start();
    EXPECT_EQ(dialog.Run(), 1 + 1 + 1 + 15 + 1);

    std::vector<uint16_t> fifteen(options.Words.begin(), options.Words.begin() + 15);
    WireSeq expected = ReadBackWire("P03", 3000000000u, 1, 0, fifteen);
    ASSERT_TRUE(device->WaitReceived(expected.FromProgram()));
    EXPECT_EQ(Describe(WireOf(*device)), expected.Text());
    Lines expectedMemo =
        Instructions + Identified("Ignivelle SII", 3000000000u, "1.0") +
        Lines{"Lecture réussie",
              "La voie 1 est automatique dans l'appareil : elle est lue Manuel, la "
              "voie 1 étant toujours manuelle.",
              " "} +
        Instructions;
    EXPECT_EQ(dialog.Memo, expectedMemo);
    EXPECT_TRUE(dialog.Boxes.empty());
    ASSERT_EQ(dialog.Programs.size(), 1u);
    const DeviceContents& read = dialog.Programs[0];
    EXPECT_EQ(read.Model, 1);
    EXPECT_EQ(read.SerialNumber, 3000000000u);
    for (size_t i = 0; i < 30; ++i)
        EXPECT_EQ(read.Words[i], i < 15 ? options.Words[i] : 0) << i;

    // In a document: channel 1 manual with its delay, the others as read, 16 on untouched.
    ChannelTable table;
    table.Slots[20].Steps = 44;
    LoadDeviceChannels(table, read);
    EXPECT_EQ(table.Model, 1);
    EXPECT_EQ(table.ChannelWord(0), 9);
    for (int i = 1; i < 15; ++i)
        EXPECT_EQ(table.ChannelWord(i), options.Words[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(table.Slots[20].Steps, 44u);
}

// The verdicts of "Vérifier", on the in-memory line played by the simulated device's engine.
TEST(ReadBack, VerifyVerdicts) {
    // The document: channel 2 automatic 1 s after channel 1; channel 3 automatic 1,4 s after
    // it, at 2,4 s; channel 12 manual at 60 s.
    std::vector<uint16_t> program(30, 0);
    program[1] = 0x8000 + 5;
    program[2] = 0x8000 + 7;
    program[11] = 300;
    struct Case {
        const char* name;
        int model = 2;
        uint32_t serial = 123456;
        std::vector<std::pair<int, uint16_t>> changed; // channel index, device word
        Lines lines;                                   // after "Lecture réussie"
        std::string box;
        bool read = true; // got as far as the channels
    };
    const Case cases[] = {
        {"same program",
         2,
         123456,
         {},
         {},
         "information: L'appareil contient exactement ce programme."},
        {"channels 3 and 12 differ",
         2,
         123456,
         {{2, 12}, {11, 301}},
         {"Voie 3 : programme Automatique, retard 1,4 s (à 2,4 s) ; appareil Manuel, retard 2,4 s "
          "(à 2,4 s)",
          "Voie 12 : programme Manuel, retard 60 s (à 60 s) ; appareil Manuel, retard 60,2 s (à "
          "60,2 s)"},
         "warning: L'appareil ne contient pas ce programme.\n\nVoies différentes : 3, 12."},
        {"another serial number",
         2,
         77,
         {},
         {"Le numéro de série de l'appareil (77) n'est pas celui du programme (123456)."},
         "information: L'appareil contient exactement ce programme."},
        {"channel 1 automatic in the device",
         2,
         123456,
         {{0, 0x8000}},
         {"Voie 1 : programme Manuel, retard 0 s (à 0 s) ; appareil Automatique, retard 0 s (à 0 "
          "s)"},
         "warning: L'appareil ne contient pas ce programme.\n\nVoies différentes : 1."},
        {"channel 3 at the same time by other own delays",
         2,
         123456,
         {{1, 0x8000 + 6}, {2, 0x8000 + 6}},
         {"Voie 2 : programme Automatique, retard 1 s (à 1 s) ; appareil Automatique, retard 1,2 s "
          "(à 1,2 s)",
          "Voie 3 : programme Automatique, retard 1,4 s (à 2,4 s) ; appareil Automatique, retard "
          "1,2 s (à 2,4 s)"},
         "warning: L'appareil ne contient pas ce programme.\n\nVoies différentes : 2, 3."},
        {"another model", 0, 123456, {}, {}, "information: " + std::string(MsgWrongModel), false},
    };
    for (const Case& c : cases) {
        sim::DeviceOptions options;
        options.Model = c.model;
        options.SerialNumber = c.serial;
        options.Words = program;
        for (auto [i, word] : c.changed)
            options.Words[static_cast<size_t>(i)] = word;
        EnginePort p(options);
        p.Port->EndSession();
        LoadWords(*p.Port, 2, program);
        ReadBackDouble dialog(p.Port.get(), ReadBackMode::Verify, 123456);
        dialog.Session.Start();
        dialog.Run();
        if (c.read) {
            Lines tail = Lines{"Lecture réussie"} + c.lines + Lines{" "} + Instructions;
            EXPECT_EQ(Lines(dialog.Memo.end() - static_cast<long>(tail.size()), dialog.Memo.end()),
                      tail)
                << c.name;
        } else {
            EXPECT_EQ(dialog.Shown(),
                      (Lines{" ", "Recherche de la connexion.", "Appareil connecté", " ",
                             "Demande du type d'appareil", " ", "Mauvais type d'appareil", " "} +
                       Instructions))
                << c.name;
            auto written = p.State->Written();
            EXPECT_EQ(std::count(written.begin(), written.end(), Wire::ReadRequest), 0) << c.name;
        }
        EXPECT_EQ(dialog.Boxes, std::vector<std::string>{c.box}) << c.name;
        EXPECT_FALSE(AnyRegisterWrite(p.State->Wire)) << c.name;
        for (int i = 0; i < 30; ++i)
            EXPECT_EQ(p.Port->ChannelWord(i), program[static_cast<size_t>(i)]) << c.name;
    }
}

// Garbled digits, a type code of no known model, and silence at each step: the session ends
// with its message before any verdict or program, and the same port then reads a sound device.
TEST(ReadBack, GarbledOrSilentDevicesGiveNothing) {
    enum class Effect { Silence, Replace, LowerCase };
    struct Case {
        const char* name;
        uint8_t trigger; // the request after which the fault starts
        int count;       // the how-manieth such request
        Effect effect;
        uint8_t with = 0; // Replace: the device's next digit becomes this
        bool wrongModel = false;
    };
    const Case cases[] = {
        {"garbage in the type code", 0x86, 1, Effect::Replace, 'G'},
        {"unknown type code", 0x86, 1, Effect::Replace, '7', true}, // "P" becomes 0x70
        {"lower-case serial number", 0x89, 1, Effect::LowerCase},
        {"':' in a version digit", 0x89, 5, Effect::Replace, ':'},
        {"lower-case channel digit", 0x89, 6 + 4 + 1, Effect::LowerCase},
        {"0xFF for a channel digit", 0x89, 6 + 4 + 2, Effect::Replace, 0xFF},
        {"silence at the model step", 0x86, 1, Effect::Silence},
        {"silence at the serial step", 0x89, 1, Effect::Silence},
        {"silence in the data step", 0x89, 6 + 4 + 1, Effect::Silence},
    };
    for (bool verify : {false, true}) {
        for (const Case& c : cases) {
            sim::DeviceOptions options;
            options.SerialNumber = 0xAB; // digits "A" "B" in register 0xF1
            options.Words = std::vector<uint16_t>(30, 0x2BCD);
            EnginePort p(options);
            p.Port->EndSession();
            LoadWords(*p.Port, 2, options.Words);
            auto live = p.State->Device;
            p.State->Device = [live, c, seen = 0, faulty = false](uint8_t b) mutable {
                if (b == c.trigger && ++seen == c.count)
                    faulty = true;
                std::vector<uint8_t> replies = live(b);
                if (!faulty || replies.empty())
                    return replies;
                switch (c.effect) {
                case Effect::Silence:
                    return std::vector<uint8_t>{};
                case Effect::LowerCase:
                    for (uint8_t& r : replies)
                        if (r >= 'A' && r <= 'F')
                            r = static_cast<uint8_t>(r + 32);
                    return replies;
                case Effect::Replace:
                    replies[0] = c.with;
                    faulty = false;
                    return replies;
                }
                return replies;
            };
            ReadBackDouble dialog(p.Port.get(), verify ? ReadBackMode::Verify : ReadBackMode::Read,
                                  0xAB);
            dialog.Session.Start();
            dialog.Run();
            std::string name = std::string(c.name) + (verify ? " (verify)" : " (read)");
            Lines tail = c.wrongModel ? Lines{" ", "Mauvais type d'appareil", " "}
                                      : Lines{" ", "Erreur de transmission", " "};
            tail = tail + Instructions;
            EXPECT_EQ(Lines(dialog.Memo.end() - 6, dialog.Memo.end()), tail) << name;
            EXPECT_EQ(dialog.Boxes,
                      std::vector<std::string>{"information: " + (c.wrongModel
                                                                      ? std::string(MsgWrongModel)
                                                                      : TransmissionBox)})
                << name;
            EXPECT_TRUE(dialog.Programs.empty()) << name;
            EXPECT_EQ(std::count(dialog.Memo.begin(), dialog.Memo.end(), "Lecture réussie"), 0)
                << name;
            EXPECT_FALSE(AnyRegisterWrite(p.State->Wire)) << name;
            EXPECT_EQ(p.State->Written().back(), Wire::EndOfSession) << name;
            EXPECT_TRUE(dialog.ConnectionEnabled) << name;

            // Restarted at once on the same port, now with a sound device.
            p.State->Device = live;
            dialog.Boxes.clear();
            dialog.Session.Start();
            dialog.Run();
            EXPECT_EQ(dialog.Memo.end()[-5], "Lecture réussie") << name;
            if (verify)
                EXPECT_EQ(dialog.Boxes,
                          std::vector<std::string>{"information: L'appareil contient exactement ce "
                                                   "programme."})
                    << name;
            else
                EXPECT_EQ(dialog.Programs.size(), 1u) << name;
        }
    }
}

TEST(ReadBack, SilentLineKeepsSearching) {
    auto state = std::make_shared<LineState>();
    auto port = MemoryPort(state);
    ReadBackDouble dialog(port.get(), ReadBackMode::Read);
    dialog.Session.Start();
    EXPECT_EQ(dialog.Run(4), 4);
    EXPECT_EQ(dialog.Session.ReadState, ReadStepSearch);
    EXPECT_EQ(dialog.Shown(), (Lines{" ", "Recherche de la connexion."}));
    EXPECT_EQ(dialog.Intervals, std::vector<int>{1500});
    EXPECT_TRUE(dialog.Boxes.empty());
    EXPECT_FALSE(AnyRegisterWrite(state->Wire));
}

// A device unplugged in the middle of the channels: the read fails at once, no program comes
// out, and once it is back (on a new line behind the same name) the read starts again.
TEST(ReadBack, HangUpMidReadOnPty) {
    TempDir dir;
    sim::DeviceOptions options;
    options.Words = ProgramWords(30);
    auto device = StartSimulator(options);
    std::string link = (dir.Path() / "COM1").string();
    ASSERT_EQ(device->LinkAs(link), 0);
    CP02 port;
    port.PortName = link;
    ReadBackDouble dialog(&port, ReadBackMode::Read);
    dialog.Session.Start();
    dialog.Run(3 + 10);
    ASSERT_EQ(dialog.Session.ReadIndex, 10);
    device->HangUp();
    dialog.Run();
    EXPECT_EQ(dialog.Memo.end()[-5], "Erreur de transmission");
    EXPECT_EQ(dialog.Boxes, std::vector<std::string>{"information: " + TransmissionBox});
    EXPECT_TRUE(dialog.Programs.empty());

    ASSERT_EQ(device->ComeBack(), 0);
    dialog.Session.Start();
    dialog.Run();
    ASSERT_EQ(dialog.Programs.size(), 1u);
    for (size_t i = 0; i < 30; ++i)
        EXPECT_EQ(dialog.Programs[0].Words[i], options.Words[i]);
    EXPECT_FALSE(AnyRegisterWrite(WireOf(*device)));
}

// Cancel pressed while the success is still queued: no program comes out of a cancelled read.
TEST(ReadBack, CancelBeforeTheQueuedEndingGivesNothing) {
    EnginePort p;
    p.Port->EndSession();
    ReadBackDouble dialog(p.Port.get(), ReadBackMode::Read);
    dialog.Session.Start();
    while (dialog.Posted.empty() && dialog.TimerOn)
        dialog.Session.Tick();
    ASSERT_EQ(dialog.Posted.front(), -1);
    dialog.Session.Cancel();
    dialog.Run();
    EXPECT_TRUE(dialog.Programs.empty());
    EXPECT_FALSE(AnyRegisterWrite(p.State->Wire));
}
