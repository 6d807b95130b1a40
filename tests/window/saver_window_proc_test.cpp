// The saver window's close policy, with a virtual tick count and a fake
// pointer. Each case makes the window (WM_CREATE records the pointer and the
// tick), sets the state before the input, lets the time pass, and delivers one
// input the way the backend does: through the queue, on the loop's next pump.
#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "platform/window_system.h"
#include "shell/run_mode.h"
#include "shell/saver_settings.h"
#include "shell/saver_window.h"
#include "tests/window/fake_window_system.h"

namespace hl {
namespace {

using namespace platform;
using testing_support::FakeWindowSystem;

constexpr CursorHandle kArrow = FakeWindowSystem::kArrow;
constexpr ScreenPoint kStart{100, 100};

struct ProcCase {
  const char* name;
  RunMode mode;
  uint32_t passwordDelay;
  int32_t mouseThreshold;
  uint32_t startTick;
  int checkingPassword;  // the state when the input arrives
  int closeRequested;
  uint32_t elapsedMs;
  uint32_t message;
  WParam wParam;
  LParam lParam;
  ScreenPoint pointer;  // where the pointer is when the input arrives
  bool closes;
  bool passwordChecked;  // the arrow shown for the prompt, then hidden again
  int screenSaverStarts;
};

const ProcCase kCases[] = {
    // The password delay: at most passwordDelay x 1000 ms closes at once.
    {"KeyAtTheDelayClosesWithoutCheck", RunSaver, 15, 50, 5000, 0, 0, 15000, WM_KEYDOWN, 'A', 0, kStart, true, false, 0},
    {"KeyOneMsAfterTheDelayIsChecked", RunSaver, 15, 50, 5000, 0, 0, 15001, WM_KEYDOWN, 'A', 0, kStart, true, true, 0},
    // 4294968 s x 1000 = 4294968000 = 704 modulo 2^32.
    {"DelayProductWrapsAtTheBoundary", RunSaver, 4294968, 50, 0, 0, 0, 704, WM_KEYDOWN, 'A', 0, kStart, true, false, 0},
    {"DelayProductWrapsOneMsLater", RunSaver, 4294968, 50, 0, 0, 0, 705, WM_KEYDOWN, 'A', 0, kStart, true, true, 0},
    // The tick count wraps 4096 ms after the start.
    {"TickWrapWithinTheDelay", RunSaver, 15, 50, 0xFFFFF000u, 0, 0, 15000, WM_KEYDOWN, 'A', 0, kStart, true, false, 0},
    {"TickWrapPastTheDelay", RunSaver, 15, 50, 0xFFFFF000u, 0, 0, 15001, WM_KEYDOWN, 'A', 0, kStart, true, true, 0},
    {"ZeroDelayChecksAfterOneMs", RunSaver, 0, 50, 0, 0, 0, 1, WM_LBUTTONDOWN, 0, 0, kStart, true, true, 0},
    // The pointer, measured from where it was at creation, on either axis.
    {"PointerAtTheThresholdKeepsRunning", RunSaver, 15, 50, 0, 0, 0, 10, WM_MOUSEMOVE, 0, 0, {150, 50}, false, false, 0},
    {"PointerOneBeyondOnXCloses", RunSaver, 15, 50, 0, 0, 0, 10, WM_MOUSEMOVE, 0, 0, {151, 150}, true, false, 0},
    {"PointerOneBeyondOnYCloses", RunSaver, 15, 50, 0, 0, 0, 10, WM_MOUSEMOVE, 0, 0, {50, 49}, true, false, 0},
    {"MessageCoordinatesAreNotUsed", RunSaver, 15, 50, 0, 0, 0, 10, WM_MOUSEMOVE, 0, MAKELPARAM(900, 900), kStart,
     false, false, 0},
    {"ThresholdFromTheSettings", RunSaver, 15, 3, 0, 0, 0, 10, WM_MOUSEMOVE, 0, 0, {104, 100}, true, false, 0},
    // The other watched inputs, and what is not watched.
    {"RightButtonCloses", RunSaver, 15, 50, 0, 0, 0, 10, WM_RBUTTONDOWN, 0, 0, kStart, true, false, 0},
    {"MiddleButtonCloses", RunSaver, 15, 50, 0, 0, 0, 10, WM_MBUTTONDOWN, 0, 0, kStart, true, false, 0},
    {"DeactivationCloses", RunSaver, 15, 50, 0, 0, 0, 10, WM_ACTIVATE, WA_INACTIVE, 0, kStart, true, false, 0},
    {"ActivationKeepsRunning", RunSaver, 15, 50, 0, 0, 0, 10, WM_ACTIVATE, WA_ACTIVE, 0, kStart, false, false, 0},
    {"AppDeactivationCloses", RunSaver, 15, 50, 0, 0, 0, 10, WM_ACTIVATEAPP, 0, 0, kStart, true, false, 0},
    {"FrameDeactivationCloses", RunSaver, 15, 50, 0, 0, 0, 10, WM_NCACTIVATE, 0, 0, kStart, true, false, 0},
    {"AltKeyIsNotWatched", RunSaver, 15, 50, 0, 0, 0, 10, WM_SYSKEYDOWN, 'A', KF_ALTDOWN_LPARAM, kStart, false, false,
     0},
    // Closes the saver did not ask for, and those queued while the prompt is up.
    {"UnrequestedCloseIsIgnored", RunSaver, 15, 50, 0, 0, 0, 10, WM_CLOSE, 0, 0, kStart, false, false, 0},
    {"CloseDuringTheCheckIsIgnored", RunSaver, 15, 50, 0, 1, 1, 20000, WM_CLOSE, 0, 0, kStart, false, false, 0},
    {"InputDuringTheCheckIsNotWatched", RunSaver, 15, 50, 0, 1, 0, 10, WM_KEYDOWN, 'A', 0, {400, 400}, false, false, 0},
    {"RequestedCloseActs", RunSaver, 15, 50, 0, 0, 1, 10, WM_CLOSE, 0, 0, kStart, true, false, 0},
    // System commands: neither a second saver nor a close, even one the
    // saver asked for; Alt+F4 comes to SC_CLOSE.
    {"ScreenSaveIsSwallowed", RunSaver, 15, 50, 0, 0, 1, 10, WM_SYSCOMMAND, SC_SCREENSAVE, 0, kStart, false, false, 0},
    {"ScCloseIsSwallowed", RunSaver, 15, 50, 0, 0, 1, 10, WM_SYSCOMMAND, SC_CLOSE, 0, kStart, false, false, 0},
    {"AltF4IsSwallowed", RunSaver, 15, 50, 0, 0, 1, 10, WM_SYSKEYDOWN, VK_F4, KF_ALTDOWN_LPARAM, kStart, false, false,
     0},
    // Preview: nothing is watched, closes are the system's ordinary ones.
    {"PreviewIgnoresKeys", RunPreview, 15, 50, 0, 0, 0, 10, WM_KEYDOWN, 'A', 0, kStart, false, false, 0},
    {"PreviewIgnoresButtons", RunPreview, 15, 50, 0, 0, 0, 10, WM_LBUTTONDOWN, 0, 0, kStart, false, false, 0},
    {"PreviewIgnoresThePointer", RunPreview, 15, 50, 0, 0, 0, 10, WM_MOUSEMOVE, 0, 0, {900, 900}, false, false, 0},
    {"PreviewIgnoresDeactivation", RunPreview, 15, 50, 0, 0, 0, 10, WM_ACTIVATE, WA_INACTIVE, 0, kStart, false, false,
     0},
    {"PreviewClosesOnAnyClose", RunPreview, 15, 50, 0, 0, 0, 10, WM_CLOSE, 0, 0, kStart, true, false, 0},
    {"PreviewStartsTheSystemSaver", RunPreview, 15, 50, 0, 0, 0, 10, WM_SYSCOMMAND, SC_SCREENSAVE, 0, kStart, false,
     false, 1},
};

class SaverWindowProcTest : public ::testing::TestWithParam<ProcCase> {
 protected:
  void SetUp() override {
    ResetWindowState();
    UseWindowSystem(&fake);
    UseTimeSource(&clock);
    settings = &record;
  }
  void TearDown() override {
    ResetWindowState();
    UseWindowSystem(nullptr);
    UseTimeSource(nullptr);
    settings = nullptr;
    runMode = RunNone;
  }

  // Dispatches until the queue is empty; true when the quit message came.
  bool Drain() {
    Message message;
    while (PeekMessage(&message)) {
      if (message.message == WM_QUIT) return true;
      DispatchMessage(message);
    }
    return false;
  }

  FakeWindowSystem fake;
  VirtualTimeSource clock;
  SaverSettings record;
};

TEST_P(SaverWindowProcTest, ClosePolicy) {
  const ProcCase& c = GetParam();
  runMode = c.mode;
  record.passwordDelay = c.passwordDelay;
  record.mouseThreshold = c.mouseThreshold;
  clock.SetTickCount(c.startTick);
  fake.pointer = kStart;

  ASSERT_TRUE(RegisterClass(WindowClass{kSaverClassName, SaverWindowProc}));
  const bool preview = c.mode == RunPreview;
  const WindowHandle window =
      CreateWindow(kSaverClassName, kSaverWindowTitle, (preview ? WS_CHILD : WS_POPUP) | WS_VISIBLE, 0, 0, 640, 480,
                   preview ? FakeWindowSystem::kPreviewParent : kNoWindow);
  ASSERT_NE(window, kNoWindow);
  EXPECT_EQ(record.window, window);
  EXPECT_EQ(record.startTick, c.startTick);
  EXPECT_EQ(record.cursorRef.x, kStart.x);
  EXPECT_EQ(record.cursorRef.y, kStart.y);

  record.checkingPassword = c.checkingPassword;
  record.closeRequested = c.closeRequested;
  clock.AdvanceMilliseconds(c.elapsedMs);
  fake.pointer = c.pointer;
  fake.events.push_back(Message{window, c.message, c.wParam, c.lParam});
  const bool quit = Drain();

  EXPECT_EQ(quit, c.closes);
  EXPECT_EQ(!IsWindow(window), c.closes);
  EXPECT_EQ(fake.destroyed, c.closes ? std::vector<WindowHandle>{window} : std::vector<WindowHandle>{});
  const std::vector<CursorHandle> promptCursors = {kArrow, kNoCursor};
  EXPECT_EQ(fake.cursors == promptCursors, c.passwordChecked);
  EXPECT_EQ(fake.screenSaverStarts, c.screenSaverStarts);
  EXPECT_EQ(record.checkingPassword, c.checkingPassword);
}

INSTANTIATE_TEST_SUITE_P(Table, SaverWindowProcTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ProcCase>& info) { return info.param.name; });

// The cursor: hidden while watching, the arrow otherwise, in both modes.
TEST_F(SaverWindowProcTest, CursorIsHiddenOnlyWhileWatching) {
  const struct {
    RunMode mode;
    int checkingPassword;
    CursorHandle expected;
  } rows[] = {{RunSaver, 0, kNoCursor}, {RunSaver, 1, kArrow}, {RunPreview, 0, kArrow}};
  for (const auto& row : rows) {
    ResetWindowState();
    fake.cursors.clear();
    runMode = row.mode;
    ASSERT_TRUE(RegisterClass(WindowClass{kSaverClassName, SaverWindowProc}));
    const WindowHandle window = CreateWindow(kSaverClassName, kSaverWindowTitle, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                             FakeWindowSystem::kPreviewParent);
    record.checkingPassword = row.checkingPassword;
    fake.events.push_back(Message{window, WM_SETCURSOR, window, 0});
    Drain();
    EXPECT_EQ(fake.cursors, std::vector<CursorHandle>{row.expected}) << "mode " << row.mode;
  }
}

// After a check the pointer is measured from where it was when the check ended.
TEST_F(SaverWindowProcTest, CheckRecordsThePointerAgain) {
  runMode = RunSaver;
  record.passwordDelay = 0;
  fake.pointer = kStart;
  ASSERT_TRUE(RegisterClass(WindowClass{kSaverClassName, SaverWindowProc}));
  const WindowHandle window = CreateWindow(kSaverClassName, kSaverWindowTitle, WS_POPUP, 0, 0, 640, 480, kNoWindow);
  clock.AdvanceMilliseconds(5);
  fake.pointer = {300, 250};
  RequestClose(record);
  EXPECT_TRUE(Drain());  // the check passes: nothing is asked on this system
  EXPECT_EQ(record.cursorRef.x, 300);
  EXPECT_EQ(record.cursorRef.y, 250);
  EXPECT_FALSE(IsWindow(window));
}

// While pictures decode, the start-up takes only the input out of the queue
// (the message filter); what the backend or the saver posted besides stays
// queued, in order, for the loop.
TEST_F(SaverWindowProcTest, TheMessageFilterTakesOnlyItsRangeAndKeepsTheOrderOfTheRest) {
  PostMessage(kNoWindow, WM_CLOSE, 0, 0);
  fake.events = {Message{kNoWindow, WM_SIZE, 0, 0}, Message{kNoWindow, WM_KEYDOWN, 'A', 0},
                 Message{kNoWindow, WM_MOUSEMOVE, 0, 0}, Message{kNoWindow, WM_LBUTTONDOWN, 0, 0}};
  struct Take {
    uint32_t first, last;
    uint32_t expected;  // 0: nothing in range
  };
  const Take takes[] = {
      {WM_KEYFIRST, WM_KEYLAST, WM_KEYDOWN},
      {WM_KEYFIRST, WM_KEYLAST, 0},
      {WM_MOUSEFIRST, WM_MOUSELAST, WM_MOUSEMOVE},
      {WM_MOUSEFIRST, WM_MOUSELAST, WM_LBUTTONDOWN},
      {WM_MOUSEFIRST, WM_MOUSELAST, 0},
      {0, 0, WM_CLOSE},  // 0 and 0: any message, the oldest first
      {0, 0, WM_SIZE},
      {0, 0, 0},
  };
  for (const Take& take : takes) {
    Message message{};
    const bool taken = PeekMessage(&message, take.first, take.last);
    EXPECT_EQ(taken ? message.message : 0u, take.expected) << "filter " << take.first << ".." << take.last;
  }
}

}  // namespace
}  // namespace hl
