// RunSaverWindow end to end on a fake window system whose GL contexts are
// headless ones: the set-up failures and their messages, the loop's order
// (queue first, a frame only when it is empty, a swap when the frame says so,
// 10 ms of sleep after each), and the teardown order.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/gl_window_context.h"
#include "platform/headless/headless_gl_context.h"
#include "platform/message_box.h"
#include "platform/termination.h"
#include "platform/window_system.h"
#include "renderer/kaleidoscope_renderer.h"
#include "shell/run_mode.h"
#include "shell/saver_settings.h"
#include "shell/saver_window.h"
#include "tests/support/capability.h"
#include "tests/window/fake_window_system.h"

namespace hl {
namespace {

using namespace platform;
using testing_support::FakeWindowSystem;

std::vector<std::string>* callLog = nullptr;

class FakeGlBackend : public GlWindowBackend {
 public:
  int ChoosePixelFormat(WindowHandle, const PixelFormatDescriptor& d) override {
    log.push_back("choose");
    requested = d;
    return chooseResult;
  }
  bool SetPixelFormat(WindowHandle, int format) override {
    log.push_back("set " + std::to_string(format));
    return setResult;
  }
  bool DescribePixelFormat(WindowHandle, int, PixelFormatDescriptor*) override { return true; }
  GlContextHandle CreateContext(WindowHandle) override {
    log.push_back("create context");
    if (!contextResult) return 0;
    context = std::make_unique<HeadlessGlContext>();
    return context->Create(64, 48) ? 1 : 0;
  }
  bool MakeCurrent(WindowHandle window, GlContextHandle c) override {
    log.push_back(window ? "current" : "release");
    return c == 0 || c == 1;
  }
  bool SwapBuffers(WindowHandle) override {
    ++swaps;
    return true;
  }
  void DeleteContext(GlContextHandle) override {
    log.push_back("delete context");
    context.reset();
  }

  int chooseResult = 33;
  bool setResult = true;
  bool contextResult = true;
  PixelFormatDescriptor requested;
  int swaps = 0;
  std::vector<std::string> log;
  std::unique_ptr<HeadlessGlContext> context;
};

// Counts frames; says when it is deleted.
class CountingScene : public Scene {
 public:
  using Scene::Scene;
  ~CountingScene() override {
    if (callLog) callLog->push_back("scene deleted");
  }
  void Update() override { ++updates; }
  void Draw() override { ++draws; }
  static inline int updates = 0;
  static inline int draws = 0;
};

Scene* MakeCountingScene(int index, KaleidoscopeRenderer* r) { return index == 0 ? new CountingScene(r) : nullptr; }

class SaverLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWindowState();
    ResetRendererProcessState();
    ClearTerminationRequest();
    UseWindowSystem(&fake);
    UseGlWindowBackend(&gl);
    UseTimeSource(&clock);
    OverrideSceneFactory(MakeCountingScene);
    SetMessageBoxHandler([this](const std::string& text, const std::string& caption) {
      boxes.push_back(caption + ": " + text);
      windowsDestroyedAtBox = fake.destroyed.size();
    });
    settings = &record;
    callLog = &gl.log;
    CountingScene::updates = 0;
    CountingScene::draws = 0;
  }
  void TearDown() override {
    callLog = nullptr;
    SetMessageBoxHandler(nullptr);
    OverrideSceneFactory(nullptr);
    UseTimeSource(nullptr);
    UseGlWindowBackend(nullptr);
    ResetWindowState();
    UseWindowSystem(nullptr);
    settings = nullptr;
    runMode = RunNone;
    mirrorsDisabledByOption = false;
  }

  FakeWindowSystem fake;
  FakeGlBackend gl;
  VirtualTimeSource clock;
  SaverSettings record;
  std::vector<std::string> boxes;
  size_t windowsDestroyedAtBox = 0;
};

TEST_F(SaverLoopTest, SetUpFailuresShowTheirMessageAndFail) {
  const struct {
    const char* name;
    bool classTaken;
    int chooseResult;
    bool setResult;
    bool contextResult;
    const char* message;
  } rows[] = {
      {"class", true, 33, true, true, "Error: RegisterClass() failed:  Cannot register window class."},
      {"choose", false, 0, true, true, "Error: ChoosePixelFormat() failed:  Cannot find a suitable pixel format."},
      {"set", false, 33, false, true, "Error: SetPixelFormat() failed:  Cannot set format specified."},
      {"context", false, 33, true, false,
       "Error: wglCreateContext() failed:  Cannot create an OpenGL rendering context."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ResetWindowState();
    boxes.clear();
    runMode = RunSaver;
    if (row.classTaken) {
      auto other = [](WindowHandle, uint32_t, WParam, LParam) -> LResult { return 0; };
      ASSERT_TRUE(RegisterClass(WindowClass{kSaverClassName, other}));
    }
    gl.chooseResult = row.chooseResult;
    gl.setResult = row.setResult;
    gl.contextResult = row.contextResult;
    const size_t destroyedBefore = fake.destroyed.size();
    EXPECT_FALSE(RunSaverWindow(kNoWindow, 10));
    EXPECT_EQ(boxes, std::vector<std::string>{row.message});
    // The full-screen window, once made, is gone before its box shows.
    if (!row.classTaken) {
      EXPECT_EQ(windowsDestroyedAtBox, destroyedBefore + 1);
    }
  }
  EXPECT_EQ(gl.requested.dwFlags, PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER);
  EXPECT_EQ(gl.requested.iPixelType, PFD_TYPE_RGBA);
  EXPECT_EQ(gl.requested.cColorBits, 32);
  EXPECT_EQ(gl.requested.cDepthBits, 0);
}

TEST_F(SaverLoopTest, PreviewWithoutAParentEndsSilently) {
  runMode = RunPreview;
  EXPECT_TRUE(RunSaverWindow(kNoWindow, 10));
  EXPECT_TRUE(fake.created.empty());
  EXPECT_TRUE(boxes.empty());
}

TEST_F(SaverLoopTest, PreviewCoversItsParent) {
  runMode = RunPreview;
  fake.onPump = [&] {
    if (clock.TickCount() >= 30) DestroyWindow(record.window);  // as when the parent goes
  };
  HL_REQUIRE_CAPABILITY(HeadlessGlContext().Create(8, 8), "a headless EGL context");
  ASSERT_TRUE(RunSaverWindow(FakeWindowSystem::kPreviewParent, 10));
  ASSERT_EQ(fake.created.size(), 1u);
  EXPECT_EQ(fake.created[0].style, WS_CHILD | WS_VISIBLE);
  EXPECT_EQ(fake.created[0].parent, FakeWindowSystem::kPreviewParent);
  EXPECT_EQ(fake.created[0].width, 152);
  EXPECT_EQ(fake.created[0].height, 112);
}

// A key pressed at 100 ms: ten frames were drawn (one per 10 ms of sleep),
// none after it, and everything goes down in the designed order.
TEST_F(SaverLoopTest, LoopDrawsWhenIdleAndEndsOnAKey) {
  HL_REQUIRE_CAPABILITY(HeadlessGlContext().Create(8, 8), "a headless EGL context");
  runMode = RunSaver;
  int framesAtKey = -1;
  fake.onPump = [&] {
    if (clock.TickCount() == 100 && framesAtKey < 0) {
      framesAtKey = CountingScene::updates;
      fake.events.push_back(Message{record.window, WM_KEYDOWN, 'A', 0});
    }
  };
  ASSERT_TRUE(RunSaverWindow(kNoWindow, 10));
  EXPECT_EQ(framesAtKey, 10);
  EXPECT_EQ(CountingScene::updates, 10);
  EXPECT_EQ(gl.swaps, 10);  // the scene clears in full, so every frame is presented
  EXPECT_EQ(clock.TickCount(), 100u);
  ASSERT_EQ(fake.created.size(), 1u);
  EXPECT_EQ(fake.created[0].style, WS_POPUP | WS_VISIBLE);
  EXPECT_EQ(fake.created[0].width, 640);
  EXPECT_EQ(fake.created[0].height, 480);
  EXPECT_EQ(fake.shown.size(), 1u);
  const std::vector<std::string> order = {"choose",        "set 33",  "create context", "current",
                                          "scene deleted", "release", "delete context"};
  EXPECT_EQ(gl.log, order);
}

// "Use Mirrors" (and --no-mirrors) switch the mirrored wedges off: one
// unmirrored copy of the scene a frame instead of `count` copies.
TEST_F(SaverLoopTest, UseMirrorsOffDrawsTheSceneOnceAFrame) {
  HL_REQUIRE_CAPABILITY(HeadlessGlContext().Create(8, 8), "a headless EGL context");
  const struct {
    uint32_t useMirrors;
    bool noMirrorsOption;
    bool mirrored;
  } rows[] = {{1, false, true}, {0, false, false}, {7, false, true}, {1, true, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "UseMirrors " << row.useMirrors << ", --no-mirrors " << row.noMirrorsOption);
    ResetWindowState();
    ResetRendererProcessState();
    clock.SetTickCount(0);
    CountingScene::updates = CountingScene::draws = 0;
    record = SaverSettings{};
    record.useMirrors = row.useMirrors;
    mirrorsDisabledByOption = row.noMirrorsOption;
    runMode = RunSaver;
    fake.onPump = [&] {
      if (clock.TickCount() == 50) fake.events.push_back(Message{record.window, WM_KEYDOWN, 'A', 0});
    };
    ASSERT_TRUE(RunSaverWindow(kNoWindow, 10));
    ASSERT_EQ(CountingScene::updates, 5);
    if (row.mirrored) {
      EXPECT_GE(CountingScene::draws, 5 * 10) << "each frame draws a copy per wedge";
    } else {
      EXPECT_EQ(CountingScene::draws, 5);
    }
  }
}

TEST_F(SaverLoopTest, TerminationSignalEndsTheRunCleanly) {
  HL_REQUIRE_CAPABILITY(HeadlessGlContext().Create(8, 8), "a headless EGL context");
  runMode = RunSaver;
  fake.onPump = [&] {
    if (clock.TickCount() == 50) raise(SIGTERM);
  };
  ASSERT_TRUE(RunSaverWindow(kNoWindow, 10));
  EXPECT_EQ(CountingScene::updates, 6);  // the frame after the signal's pump still runs
  EXPECT_EQ(gl.log.back(), "delete context");
  EXPECT_EQ(fake.destroyed.size(), 1u);
  ClearTerminationRequest();
}

}  // namespace
}  // namespace hl
