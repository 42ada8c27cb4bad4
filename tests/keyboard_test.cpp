// The keyboard matrix test: report parsing, the squares' layout, the
// simulated keyboard's scan, and the job running for real on a simulated JIG.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <thread>

#include "keyboard/keyboard_layout.h"
#include "keyboard/keyboard_test.h"
#include "sim/keyboard/sim_keyboard.h"
#include "tests/support/fixture.h"

namespace zjig::test {
namespace {

using namespace std::chrono_literals;
using sim::ContactPair;
using sim::EncodeScanReport;
using sim::SimKeyboard;

// ---- layout -----------------------------------------------------------------

TEST(KeyboardLayout, ShapeNumbersAndRectangles) {
    struct Case {
        int i, j;
        int number;
        ShapeRect rect;
    };
    const Case cases[] = {
        {1, 2, 2, {11, 38, 12, 12}},      {1, 32, 32, {491, 38, 12, 12}},
        {2, 3, 35, {26, 53, 12, 12}},     {31, 32, 992, {491, 506, 12, 12}},
        {5, 6, 134, {76, 98, 12, 12}},    {6, 7, 167, {91, 116, 12, 12}},
        {4, 12, 108, {171, 83, 12, 12}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "pair (" << c.i << ", " << c.j << ")");
        EXPECT_EQ(KeyboardShapeNumber(c.i, c.j), c.number);
        EXPECT_EQ(KeyboardShapeName(c.i, c.j), "Shape" + std::to_string(c.number));
        EXPECT_EQ(KeyboardShapeRect(c.i, c.j), c.rect);
    }
}

TEST(KeyboardLayout, SquaresFitTheWindowWithoutTouching) {
    std::vector<ShapeRect> rects;
    for (int i = 1; i < 32; ++i)
        for (int j = i + 1; j <= 32; ++j) rects.push_back(KeyboardShapeRect(i, j));
    ASSERT_EQ(rects.size(), static_cast<size_t>(kKeyboardPairs));
    for (const auto& r : rects) {
        EXPECT_GE(r.left, 0);
        EXPECT_GE(r.top, 0);
        EXPECT_LE(r.left + r.width, kKeyboardWindowWidth);
        EXPECT_LE(r.top + r.height, kKeyboardWindowHeight);
        // The buttons and check boxes in the lower left stay clear of the triangle.
        for (const auto& c : kKeyboardControls)
            EXPECT_FALSE(r.left < c.left + 175 && c.left < r.left + r.width &&
                         r.top < c.top + 55 && c.top < r.top + r.height)
                << c.name;
    }
    for (size_t a = 0; a < rects.size(); ++a)
        for (size_t b = a + 1; b < rects.size(); ++b) {
            const auto& x = rects[a];
            const auto& y = rects[b];
            const bool apart = x.left + x.width + 3 <= y.left || y.left + y.width + 3 <= x.left ||
                               x.top + x.height + 3 <= y.top || y.top + y.height + 3 <= x.top;
            ASSERT_TRUE(apart) << a << " " << b;
        }
}

TEST(KeyboardLayout, FormModelHoldsExactlyThePairSquares) {
    SimProgram s;
    int shapes = 0;
    for (int n = 0; n <= 1100; ++n) {
        const std::string name = "Shape" + std::to_string(n);
        const int i = n > 0 ? (n - 1) / 32 + 1 : 0;
        const int j = n - (i - 1) * 32;
        const bool pair = n > 0 && KeyboardPairValid(i, j);
        EXPECT_EQ(s.p().form.Has(name), pair) << name;
        if (pair) {
            ++shapes;
            EXPECT_EQ(s.p().form.Color(name), colors::SkyBlue) << name;
        }
    }
    EXPECT_EQ(shapes, 496);
    EXPECT_FALSE(s.p().form.Visible("CheckBox_clear"));
    EXPECT_FALSE(s.p().form.Visible("CheckBox_exit"));
    EXPECT_EQ(s.p().form.Text("Buzzer_box"), "Buzzer off");
    EXPECT_EQ(s.p().form.Text("CheckBox_hide"), "Hide current");
    EXPECT_EQ(s.p().form.Text("BitBtn_EXIT"), "Exit");
}

// ---- reports ----------------------------------------------------------------

TEST(ScanReport, ParsesGroupsIntoPairs) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        std::vector<ReportPair> pairs;
    };
    const Case cases[] = {
        {"empty", Bytes({'&'}), {}},
        {"one group", Bytes({'>', 1, 2, 3, '&'}), {{1, 2}, {1, 3}}},
        {"two groups", Bytes({'>', 5, 9, '>', 9, 5, '&'}), {{5, 9}, {9, 5}}},
        {"no leading group mark", Bytes({4, 12, '&'}), {{4, 12}}},
        {"zero keeps the first contact open", Bytes({'>', 0, 7, 8, '&'}), {{7, 8}}},
        {"two reports", Bytes({'>', 1, 2, '&', 3, '&'}), {{1, 2}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ParseScanReport(c.bytes), c.pairs);
    }
    EXPECT_FALSE(ReportHasContent(Bytes({'&'})));
    EXPECT_FALSE(ReportHasContent(Bytes({'&', '&'})));
    EXPECT_TRUE(ReportHasContent(Bytes({'>', 1, '&'})));
}

TEST(ScanReport, BufferCompletesOnTheEndMarkAndStaysBounded) {
    ReportBuffer buf;
    const auto first = Bytes({'>', 5});
    buf.Append(first.data(), first.size());
    EXPECT_EQ(buf.Check(), ReportBuffer::State::Incomplete);
    const auto rest = Bytes({9, '&'});
    buf.Append(rest.data(), rest.size());
    EXPECT_EQ(buf.Check(), ReportBuffer::State::Complete);
    EXPECT_EQ(buf.Bytes(), Bytes({'>', 5, 9, '&'}));
    buf.Clear();

    // A read with bytes after the '&' does not complete the report.
    const auto trailing = Bytes({'>', 1, 2, '&', '>'});
    buf.Append(trailing.data(), trailing.size());
    EXPECT_EQ(buf.Check(), ReportBuffer::State::Incomplete);
    buf.Clear();

    // The longest possible report fits exactly.
    std::vector<uint8_t> longest(kMaxReportBytes - 1, 7);
    longest.push_back('&');
    buf.Append(longest.data(), longest.size());
    EXPECT_EQ(buf.Check(), ReportBuffer::State::Complete);
    buf.Clear();

    // One byte more is dropped, in whichever pieces it comes, and nothing of
    // it is kept until a read ends with '&'.
    std::vector<uint8_t> tooLong(kMaxReportBytes + 1, 7);
    buf.Append(tooLong.data(), 600);
    buf.Append(tooLong.data() + 600, tooLong.size() - 600);
    EXPECT_EQ(buf.Check(), ReportBuffer::State::Incomplete);
    EXPECT_TRUE(buf.Bytes().empty());
    const auto more = Bytes({1, 2, 3, '&'});
    buf.Append(more.data(), more.size());
    EXPECT_EQ(buf.Check(), ReportBuffer::State::Dropped);
    EXPECT_TRUE(buf.Bytes().empty());
    buf.Clear();
    const auto next = Bytes({'>', 1, 3, '&'});
    buf.Append(next.data(), next.size());
    EXPECT_EQ(buf.Check(), ReportBuffer::State::Complete);
    EXPECT_EQ(buf.Bytes(), next);
}

TEST(SimKeyboardScan, ReportsEveryContactOfANetInBothDirections) {
    EXPECT_EQ(EncodeScanReport({}), Bytes({'&'}));
    EXPECT_EQ(EncodeScanReport({{1, 2}}), Bytes({'>', 1, 2, '>', 2, 1, '&'}));
    // Two keys sharing contact 2 also join 1 and 3 (no diodes in the matrix).
    EXPECT_EQ(EncodeScanReport({{1, 2}, {2, 3}}),
              Bytes({'>', 1, 2, 3, '>', 2, 1, 3, '>', 3, 1, 2, '&'}));
    // Every contact joined: the longest report there is.
    std::set<ContactPair> all;
    for (int c = 2; c <= 32; ++c) all.insert({1, c});
    EXPECT_EQ(EncodeScanReport(all).size(), kMaxReportBytes);
}

TEST(SimKeyboardScan, ScriptClosesAndOpensKeysOverTime) {
    SimKeyboard kb;
    const auto t0 = sim::Clock::now();
    auto events = sim::KeyPress(12, 4, 100ms, 50ms);
    kb.Script(events, 0ms, t0);
    kb.ClosePermanently(1, 2);
    EXPECT_EQ(kb.ClosedAt(t0 + 50ms), (std::set<ContactPair>{{1, 2}}));
    EXPECT_EQ(kb.ClosedAt(t0 + 120ms), (std::set<ContactPair>{{1, 2}, {4, 12}}));
    EXPECT_EQ(kb.ClosedAt(t0 + 160ms), (std::set<ContactPair>{{1, 2}}));
    kb.Script(events, 200ms, t0);
    EXPECT_EQ(kb.ClosedAt(t0 + 320ms), (std::set<ContactPair>{{1, 2}, {4, 12}}));
}

// ---- the job on a simulated JIG -----------------------------------------------

// A program on a simulated JIG with an idle keyboard; the test is stopped
// with "Exit" at the end.
struct KeyboardBench {
    explicit KeyboardBench(uint32_t idleMs = 1000) : s("M328_EPM240_v20", idleMs) {
        kb().Reset();
        kb().SetScanTime(300us);
    }
    ~KeyboardBench() {
        // A click before the job's start (which unticks the box) would be lost.
        for (int i = 0; i < 50 && !s.WaitIdle(100ms); ++i) BitBtn_EXITClick(p());
    }
    Program& p() { return s.p(); }
    SimKeyboard& kb() { return s.jig->Part<SimKeyboard>(); }
    KeyboardState& state() { return p().State<KeyboardState>(); }

    void Start() {
        const uint64_t before = kb().Scans();
        SelectMode(p(), "Keyboard test");
        ASSERT_TRUE(p().CurrentJob.Is("Keyboard"));
        ASSERT_TRUE(kb().WaitForScans(before + 1, 2s));
    }
    // Waits until the JIG has been asked for `more` further scans: every
    // report answered before the last of them has been handled.
    void Scans(uint64_t more) { ASSERT_TRUE(kb().WaitForScans(kb().Scans() + more, 3s)); }
    // Makes a check box count (the job looks at it after each report).
    void Tick(const std::string& box, bool on) {
        p().form.SetChecked(box, on);
        Scans(2);
    }
    // Answers the next requests with these reports and waits until all are handled.
    void Reports(const std::vector<std::vector<uint8_t>>& reports) {
        kb().QueueRawAnswers(reports);
        Scans(reports.size() + 1);
    }
    Rgb Color(int i, int j) { return p().form.Color(KeyboardShapeName(i, j)); }
    int Beeps() {
        auto log = s.jig->CommandLog();
        return static_cast<int>(std::count(log.begin(), log.end(), 'I'));
    }
    // Every square not listed is sky blue.
    void ExpectColors(const std::map<ContactPair, Rgb>& painted) {
        for (int i = 1; i < 32; ++i)
            for (int j = i + 1; j <= 32; ++j) {
                auto it = painted.find({i, j});
                const Rgb want = it == painted.end() ? colors::SkyBlue : it->second;
                EXPECT_EQ(Color(i, j), want) << "pair (" << i << ", " << j << ")";
            }
    }
    bool Stopped(std::chrono::milliseconds limit = 3s) { return s.WaitIdle(limit); }

    SimProgram s;
};

TEST(KeyboardJob, ReportsColourTheirPairs) {
    struct Case {
        const char* name;
        std::vector<std::vector<uint8_t>> reports;
        std::map<ContactPair, Rgb> colors;
        int beeps;
        bool buzzerOff = false;
    };
    const auto R = colors::Red;
    const auto Y = colors::Yellow;
    const std::vector<uint8_t> key12 = Bytes({'>', 1, 2, '&'});
    const Case cases[] = {
        {"'&' alone changes nothing", {Bytes({'&'})}, {}, 0},
        {"'>' 1 2 3 '&'", {Bytes({'>', 1, 2, 3, '&'})}, {{{1, 2}, R}, {{1, 3}, R}}, 1},
        {"buzzer off pauses instead of beeping",
         {Bytes({'>', 1, 2, 3, '&'})},
         {{{1, 2}, R}, {{1, 3}, R}},
         0,
         true},
        {"the same key twice", {key12, key12}, {{{1, 2}, Y}}, 2},
        {"the same key thrice", {key12, key12, key12}, {{{1, 2}, R}}, 3},
        {"a closed key as the JIG scans it", {EncodeScanReport({{4, 12}})}, {{{4, 12}, R}}, 1},
        {"two keys on one contact",
         {EncodeScanReport({{1, 2}, {2, 3}})},
         {{{1, 2}, R}, {{1, 3}, R}, {{2, 3}, R}},
         1},
        {"pairs that name no square",
         {Bytes({'>', 2, 1, '>', 3, 3, '>', 2, 40, '>', 40, 3, '>', 0, 33, 5, '&'})},
         {},
         0},
        {"two reports in one read", {Bytes({'>', 1, 2, '&', '>', 1, 3, '&'})},
         {{{1, 2}, R}, {{1, 3}, R}}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KeyboardBench b;
        b.Start();
        if (c.buzzerOff) b.Tick("Buzzer_box", true);
        const int beepsBefore = b.Beeps();
        b.Reports(c.reports);
        b.ExpectColors(c.colors);
        EXPECT_EQ(b.Beeps() - beepsBefore, c.beeps);
        EXPECT_TRUE(b.p().CurrentJob.Is("Keyboard"));
    }
}

TEST(KeyboardJob, StartsWithTheWindowShownAndEndsOnExit) {
    KeyboardBench b;
    b.p().form.SetColor("Shape2", colors::Red);  // left over from an earlier test
    b.p().form.SetChecked("CheckBox_hide", true);
    b.Start();
    EXPECT_TRUE(b.p().form.Visible("TForm_KEYB"));
    EXPECT_FALSE(b.p().form.Enabled("CBox_Selector"));
    EXPECT_FALSE(b.p().form.Checked("CheckBox_hide"));
    EXPECT_TRUE(b.s.ui.HasEntry("Keyboard testing start.\n", colors::Blue));
    b.Scans(3);
    b.ExpectColors({});
    // An idle keyboard: every report is '&' and the next 'U' follows at once.
    const auto cmds = b.s.jig->CommandLog();
    EXPECT_EQ(std::count(cmds.begin(), cmds.end(), 'I'), 0);
    EXPECT_GE(std::count(cmds.begin(), cmds.end(), 'U'), 3);
    const auto written = b.s.jig->Serial()->HostWrittenLog();
    const auto reset = Bytes({'S', 'R', 'U'});
    EXPECT_NE(std::search(written.begin(), written.end(), reset.begin(), reset.end()),
              written.end());

    BitBtn_EXITClick(b.p());
    ASSERT_TRUE(b.Stopped());
    EXPECT_TRUE(b.s.ui.HasEntry("Keyboard testing stop.\n", colors::Blue));
    EXPECT_TRUE(b.s.ui.LogText(colors::Red).empty());
    EXPECT_FALSE(b.p().form.Visible("TForm_KEYB"));
    EXPECT_TRUE(b.p().form.Enabled("CBox_Selector"));
    EXPECT_EQ(b.p().form.Text("CBox_Selector"), "    Select mode");
    EXPECT_TRUE(b.p().CurrentJob.Is("NONE"));
    EXPECT_EQ(b.s.driver.OpenCount(), 0);
    EXPECT_EQ(b.p().op.outcome, Outcome::Succeeded);

    // The next start is a fresh test; the scan that was outstanding at "Exit"
    // does not reach the next opening's version request.
    b.p().form.SetColor("Shape2", colors::Yellow);
    b.Start();
    EXPECT_FALSE(b.p().form.Checked("CheckBox_exit"));
    EXPECT_EQ(b.Color(1, 2), colors::SkyBlue);
    EXPECT_EQ(b.p().jobs.ThreadsStarted(), 2);
}

TEST(KeyboardJob, ReportSplitOverTwoReadsIsOneReport) {
    KeyboardBench b;
    b.kb().SplitReports(2, 60ms);
    b.Start();
    b.Reports({Bytes({'>', 5, 9, '&'})});
    b.ExpectColors({{{5, 9}, colors::Red}});
    EXPECT_EQ(b.Beeps(), 1);
}

TEST(KeyboardJob, HideCycle) {
    KeyboardBench b;
    b.kb().ClosePermanently(4, 12);
    b.Start();
    b.Tick("CheckBox_hide", true);
    b.Scans(2);
    EXPECT_EQ(b.state().HideState(), "END");
    EXPECT_EQ(b.state().HiddenPairs(), std::vector<int>{108});
    EXPECT_EQ(b.Color(4, 12), colors::Black);
    // Later reports naming (4, 12) leave it black and do not beep; other
    // keys toggle as usual.
    const int beeps = b.Beeps();
    b.Scans(5);
    EXPECT_EQ(b.Color(4, 12), colors::Black);
    EXPECT_EQ(b.Beeps(), beeps);
    b.kb().QueueScans({{{1, 2}}});
    b.Scans(2);
    EXPECT_EQ(b.Color(1, 2), colors::Red);
    EXPECT_EQ(b.Color(4, 12), colors::Black);
    EXPECT_EQ(b.Beeps(), beeps + 1);

    // Unticking returns to "NONE": the stored pair toggles again.
    b.Tick("CheckBox_hide", false);
    b.Scans(1);
    EXPECT_EQ(b.state().HideState(), "NONE");
    EXPECT_NE(b.Color(4, 12), colors::Black);
}

TEST(KeyboardJob, HideStartWaitsForAReportThatNamesPairs) {
    KeyboardBench b;
    b.Start();
    b.Tick("CheckBox_hide", true);
    b.Scans(3);  // reports of '&' alone keep "START"
    EXPECT_EQ(b.state().HideState(), "START");
    b.kb().QueueScans({{{4, 12}}});
    b.Scans(2);
    EXPECT_EQ(b.state().HideState(), "END");
    EXPECT_EQ(b.state().HiddenPairs(), std::vector<int>{108});
    b.kb().QueueScans({{{4, 12}}, {{4, 12}, {7, 9}}});
    b.Scans(3);
    b.ExpectColors({{{4, 12}, colors::Black}, {{7, 9}, colors::Red}});
}

TEST(KeyboardJob, ClearPaintsSkyBlueAndUnticksHide) {
    KeyboardBench b;
    b.Start();
    b.Reports({Bytes({'>', 1, 2, 3, '&'})});
    b.Tick("CheckBox_hide", true);
    b.Reports({Bytes({'>', 7, 8, '&'})});
    EXPECT_EQ(b.Color(7, 8), colors::Black);
    EXPECT_EQ(b.Color(1, 2), colors::Red);

    ClearClick(b.p());
    b.Scans(2);
    b.ExpectColors({});
    EXPECT_FALSE(b.p().form.Checked("CheckBox_hide"));
    EXPECT_FALSE(b.p().form.Checked("CheckBox_clear"));
    EXPECT_EQ(b.state().HideState(), "NONE");
    // The pair hidden before the clear toggles again.
    b.Reports({Bytes({'>', 7, 8, '&'})});
    EXPECT_EQ(b.Color(7, 8), colors::Red);
}

TEST(KeyboardJob, ExitEndsTheTestWhileNoReportComes) {
    KeyboardBench b;
    b.kb().SetAnswering(false);
    b.Start();
    BitBtn_EXITClick(b.p());
    ASSERT_TRUE(b.Stopped());
    EXPECT_TRUE(b.s.ui.HasEntry("Keyboard testing stop.\n", colors::Blue));
    // It was "Exit", not the watchdog, that ended it.
    EXPECT_TRUE(b.s.ui.LogText(colors::Red).empty());
    EXPECT_EQ(b.p().op.outcome, Outcome::Succeeded);
    EXPECT_FALSE(b.p().form.Visible("TForm_KEYB"));
}

// Ways the JIG stops answering: each ends the test with its red line and the
// usual stop steps, leaving a usable window.
TEST(KeyboardJob, LostJigEndsTheTest) {
    struct Case {
        const char* name;
        std::function<void(KeyboardBench&)> before;  // before the start
        std::function<void(KeyboardBench&)> during;  // once the test runs
        std::string red;
    };
    const Case cases[] = {
        {"unplugged", nullptr, [](KeyboardBench& b) { b.s.jig->Serial()->Unplug(); },
         "The JIG was disconnected during the keyboard test.\n"},
        {"no scan report", nullptr, [](KeyboardBench& b) { b.kb().SetAnswering(false); },
         "The JIG did not answer: no keyboard scan report within 1.0 s.\n"},
        {"a report that never ends",
         nullptr,
         [](KeyboardBench& b) {
             b.kb().QueueRawAnswers({Bytes({'>', 1, 2})});
         },
         "The JIG did not answer: no keyboard scan report within 1.0 s.\n"},
        {"the beep never ends",
         [](KeyboardBench& b) {
             // Virtual wire time: the firmware's long beep costs no real time.
             b.s.jig->Serial()->SetTiming(sim::WireTiming{.enabled = true});
             b.s.jig->beepDuration = 3s;
         },
         [](KeyboardBench& b) { b.kb().QueueRawAnswers({Bytes({'>', 1, 2, '&'})}); },
         "The JIG did not answer: no end of the beep within 1.0 s.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A long idle limit: only the keyboard watchdog may end these waits.
        KeyboardBench b(10000);
        if (c.before) c.before(b);
        b.Start();
        b.Scans(2);
        c.during(b);
        ASSERT_TRUE(b.Stopped());
        EXPECT_EQ(b.s.ui.LogText(colors::Red), c.red);
        EXPECT_TRUE(b.s.ui.HasEntry("Keyboard testing stop.\n", colors::Blue));
        EXPECT_FALSE(b.p().form.Visible("TForm_KEYB"));
        EXPECT_TRUE(b.p().form.Enabled("CBox_Selector"));
        EXPECT_EQ(b.p().form.ItemIndex("CBox_Selector"), 0);
        EXPECT_TRUE(b.p().CurrentJob.Is("NONE"));
        EXPECT_EQ(b.s.driver.OpenCount(), 0);
        EXPECT_EQ(b.p().op.outcome, Outcome::Failed);
    }
}

TEST(KeyboardJob, MoreThanAThousandHiddenPairs) {
    KeyboardBench b;
    b.Start();
    b.Tick("CheckBox_hide", true);
    ASSERT_EQ(b.state().HideState(), "START");
    std::vector<uint8_t> report = {'>', 1};
    report.insert(report.end(), 1000, 2);
    for (uint8_t x : Bytes({'>', 3, 4, '&'})) report.push_back(x);
    b.Reports({report});
    const auto hidden = b.state().HiddenPairs();
    EXPECT_EQ(hidden.size(), kMaxHiddenPairs);
    EXPECT_TRUE(std::all_of(hidden.begin(), hidden.end(), [](int n) { return n == 2; }));
    b.ExpectColors({{{1, 2}, colors::Black}, {{3, 4}, colors::Black}});
    // The pair beyond the thousandth was painted but not stored: it toggles.
    b.Reports({Bytes({'>', 1, 2, '>', 3, 4, '&'})});
    b.ExpectColors({{{1, 2}, colors::Black}, {{3, 4}, colors::Red}});
}

TEST(KeyboardJob, StreamLongerThanAnyReportIsDropped) {
    KeyboardBench b;
    b.Start();
    std::vector<uint8_t> stream = {'>', 1};
    stream.insert(stream.end(), 1500, 2);
    stream.push_back('&');
    b.kb().SplitReports(700, 10ms);  // longer than any report, over several reads
    b.Reports({stream});
    b.kb().NoSplit();
    b.ExpectColors({});
    EXPECT_EQ(b.s.ui.LogText(colors::Red),
              "Keyboard scan report longer than 1057 bytes: dropped.\n");
    // The test goes on with the next report.
    b.Reports({Bytes({'>', 1, 3, '&'})});
    b.ExpectColors({{{1, 3}, colors::Red}});
}

TEST(KeyboardJob, ObserverSeesEachChangingReportAndClear) {
    KeyboardBench b;
    std::mutex m;
    std::vector<KeyboardEvent> events;
    {
        std::lock_guard lock(b.state().m);
        b.state().observer = [&](const KeyboardEvent& e) {
            std::lock_guard l(m);
            events.push_back(e);
        };
    }
    b.Start();
    b.Reports({Bytes({'&'}), Bytes({'>', 1, 2, 3, '&'}), Bytes({'>', 1, 2, '&'})});
    ClearClick(b.p());
    b.Scans(2);
    std::lock_guard lock(m);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, KeyboardEvent::Kind::Report);
    ASSERT_EQ(events[0].changes.size(), 2u);
    EXPECT_EQ(events[0].changes[1].j, 3);
    EXPECT_EQ(events[0].changes[1].color, colors::Red);
    ASSERT_EQ(events[1].changes.size(), 1u);
    EXPECT_EQ(events[1].changes[0].color, colors::Yellow);
    EXPECT_EQ(events[2].kind, KeyboardEvent::Kind::Cleared);
}

TEST(KeyboardJob, ScriptedPressesOverTime) {
    KeyboardBench b;
    const auto t0 = sim::Clock::now();
    b.kb().Script(sim::KeyPress(6, 30, 400ms, 150ms), 0ms, t0);
    b.Start();
    std::this_thread::sleep_until(t0 + 700ms);
    b.Scans(2);
    // The key was held across at least one report; released, it stays coloured.
    EXPECT_NE(b.Color(6, 30), colors::SkyBlue);
    EXPECT_GE(b.Beeps(), 1);
    b.ExpectColors({{{6, 30}, b.Color(6, 30)}});
}

TEST(KeyboardJob, TimerTickFromOutsideStopsTheTest) {
    KeyboardBench b;
    b.Start();
    b.Scans(2);
    ASSERT_TRUE(Fire(b.p(), "Timer_KEYBTimer"));
    ASSERT_TRUE(b.Stopped());
    EXPECT_TRUE(b.s.ui.HasEntry("Keyboard testing stop.\n", colors::Blue));
}

TEST(KeyboardPause, WaitsForItsTickAndRestoresTheWatchdog) {
    SimProgram s;
    auto& timer = s.p().State<KeyboardState>().timer;
    s.p().TimeoutFlag.Set("ERROR");
    const auto t0 = std::chrono::steady_clock::now();
    KeyboardPause(s.p(), 30);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 30ms);
    EXPECT_TRUE(s.p().TimeoutFlag.Is("OK"));
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), kKeyboardWatchdogMs);
}

}  // namespace
}  // namespace zjig::test
