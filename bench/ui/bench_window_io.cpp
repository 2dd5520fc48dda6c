// Opening and saving a 120,000-sprite file through the open and save window on a real display,
// from the click on the window's button to the new title with the window repainted, beside the
// bare load and save of the same file by a sprite file with no listener, in the same run. Both
// the benchmark's random shapes and content shaped like real client art are measured.
//
// Offscreen, painting costs almost nothing; on a real X server every repaint of the progress
// bar, the animation and the main window goes through the server, so run it there:
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" ./ui_bench_window_io
//
// The platform is xcb when a display is set, otherwise offscreen (QT_QPA_PLATFORM overrides
// both). The files live in /dev/shm when there is one, so that the figures are not the disk's.
//
// OpenThroughWindow opens with the catalog entry chosen, OpenAutoDetect with "Auto detect",
// which also reads the file to tell its layout. Besides the wall time (x_bare against the bare
// run of the same round) each figure splits the CPU time: user_ms is the code's own work,
// sys_ms mostly faulting in memory (on a virtual machine its cost varies from run to run far
// more than anything the window does), xserver_ms what the X server spent drawing.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "../support/QuietHost.h"
#include "../support/RealisticSprites.h"
#include "BenchHost.h"
#include "bitmap/TBitmap32.h"
#include "core/editorCore.h"
#include "sprite/TSpriteFile.h"
#include "ui/FileChooser.h"
#include "ui/QtHost.h"
#include "ui/TfrmFileDialog.h"
#include "ui/TfrmMain.h"

namespace {

constexpr int kSprites = 120000;
constexpr std::int32_t kSignature = 0x57BBD603;  // the one catalog entry of writeOneVersionConfig

using tess::bench::BenchHost;

using tess::bench::QuietHost;

// The content the window benchmarks have always used, "random" in the figures: a diamond with
// colours taken from its position, and every 17th sprite empty.
std::unique_ptr<tess::TSprite> makeRandomSprite(std::int32_t id) {
  auto sprite = std::make_unique<tess::TSprite>();
  sprite->setID(id);
  if (id % 17 == 0) return sprite;
  sprite->isDUmmy = false;
  sprite->bitmap = std::make_unique<tess::TBitmap32>();
  sprite->bitmap->SetSize(32, 32);
  tess::TColor32* bits = sprite->bitmap->FBits();
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const int distance = std::abs(x - 16) + std::abs(y - 16);
      bits[y * 32 + x] = distance < 14 ? tess::PackColor32(static_cast<std::uint8_t>(id),
                                                           static_cast<std::uint8_t>(x * 8),
                                                           static_cast<std::uint8_t>(y * 8), 0xFF)
                                       : tess::clTransparentWhite32;
    }
  }
  return sprite;
}

QString benchFolderTemplate() {
  const QString base =
      ::access("/dev/shm", W_OK) == 0 ? QStringLiteral("/dev/shm") : QDir::tempPath();
  return base + QStringLiteral("/tess-window-io-XXXXXX");
}

// Runs the event loop until nothing is left to do, as the window does after a click.
void settle() {
  for (int pass = 0; pass < 3; ++pass) QCoreApplication::processEvents();
}

// A left click on `button`, delivered as the window system delivers one: the button's own
// press and release handling runs the command.
void click(QPushButton* button) {
  const QPointF local(button->width() / 2.0, button->height() / 2.0);
  const QPointF global = button->mapToGlobal(local);
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QCoreApplication::sendEvent(button, &press);
  QCoreApplication::sendEvent(button, &release);
}

// The X server's process, when the display is one on this machine: its CPU time is the price
// of what the window draws, paid outside this process.
int xServerPid() {
  const QByteArray display = qgetenv("DISPLAY");
  const qsizetype colon = display.indexOf(':');
  if (colon < 0) return 0;
  const QByteArray number = display.mid(colon + 1).split('.').first();
  const QDir proc(QStringLiteral("/proc"));
  for (const QString& entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool isPid = false;
    const int pid = entry.toInt(&isPid);
    if (!isPid) continue;
    QFile comm(proc.filePath(entry + QStringLiteral("/comm")));
    if (!comm.open(QIODevice::ReadOnly) || !comm.readAll().trimmed().startsWith("X")) continue;
    QFile cmdline(proc.filePath(entry + QStringLiteral("/cmdline")));
    if (!cmdline.open(QIODevice::ReadOnly)) continue;
    if (cmdline.readAll().split('\0').contains(":" + number)) return pid;
  }
  return 0;
}

double xServerCpuSeconds(int pid) {
  if (pid <= 0) return 0;
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return 0;
  const QByteArray text = stat.readAll();
  // The fields after the command name, which is in parentheses and may hold spaces.
  const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
  if (fields.size() < 13) return 0;
  const double ticks = fields[11].toDouble() + fields[12].toDouble();  // utime, stime
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double processCpuSeconds(bool user) {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const timeval& time = user ? usage.ru_utime : usage.ru_stime;
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
}

// Wall time and CPU time of the runs: this process's user time (the code's own work: decoding,
// the listener, events, painting), its system time (mostly faulting in fresh memory, which the
// bare runs pay alike and which varies widely on a shared virtual machine), and the X server's.
struct Meter {
  double wall = 0, user = 0, system = 0, server = 0;
  int runs = 0;

  template <typename Work>
  void time(int serverPid, Work&& work) {
    const double server0 = xServerCpuSeconds(serverPid);
    const double user0 = processCpuSeconds(true);
    const double system0 = processCpuSeconds(false);
    const auto start = std::chrono::steady_clock::now();
    work();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    wall += seconds;
    user += processCpuSeconds(true) - user0;
    system += processCpuSeconds(false) - system0;
    server += xServerCpuSeconds(serverPid) - server0;
    ++runs;
    last = seconds;
  }
  double mean(double total) const { return runs > 0 ? total / runs : 0; }
  // What the user's machine works for the run, wherever it does it.
  double meanCpu() const { return mean(user + system + server); }

  double last = 0;
};

struct Content {
  explicit Content(std::string contentName) : name(std::move(contentName)) {}

  std::string name;
  std::string file;   // what is opened
  std::string saved;  // where the window saves
  std::string bareSaved;
  std::size_t fileBytes = 0;
  // The latest bare runs, once they ran.
  Meter bareLoad;
  Meter bareSave;
};

struct Setup {
  QTemporaryDir dir{benchFolderTemplate()};
  BenchHost host;
  QuietHost quiet;
  tess::QtFileChooser chooser;
  tess::TEditorCore core{host};
  std::unique_ptr<tess::TfrmMain> main;
  tess::TfrmFileDialog* dialog = nullptr;
  Content random{"random"};
  Content realistic{"realistic"};
  int xServer = xServerPid();

  bool writeFile(Content& content, const std::function<std::unique_ptr<tess::TSprite>(int)>& make) {
    content.file = dir.filePath(QString::fromStdString(content.name + ".spr")).toStdString();
    content.saved = dir.filePath(QString::fromStdString(content.name + "-saved.spr")).toStdString();
    content.bareSaved =
        dir.filePath(QString::fromStdString(content.name + "-bare.spr")).toStdString();
    tess::TSpriteFile writer(quiet);
    writer.Sprites.reserve(kSprites);
    for (int id = 1; id <= kSprites; ++id) writer.Sprites.push_back(make(id));
    writer.loaded = true;
    if (!writer.save(content.file, kSignature, true)) return false;
    content.fileBytes = QFileInfo(QString::fromStdString(content.file)).size();
    return true;
  }

  bool prepare() {
    if (!dir.isValid()) return false;
    if (!tess::bench::writeOneVersionConfig(dir.path())) return false;
    if (!writeFile(random, makeRandomSprite)) return false;
    if (!writeFile(realistic, tess::bench::makeRealisticSprite)) return false;
    main = std::make_unique<tess::TfrmMain>(core, host, chooser, nullptr, dir.path());
    main->show();
    main->Open1Click();
    dialog = main->dialog.data();
    if (!dialog) return false;
    // The figures mean something only once the windows are on the screen.
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && !(main->windowHandle() && main->windowHandle()->isExposed())) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    settle();
    return true;
  }

  // Readies the window for an open of `content`: with "Auto detect" (position 0), which reads
  // the file once more to tell its layout, or with the catalog entry chosen (position 1).
  void toOpen(const Content& content, int position = 1) {
    main->Open1Click();
    dialog->edtSpr->setText(QString::fromStdString(content.file));
    dialog->cmbVersion->setCurrentIndex(position);
    settle();
  }

  void toSave(const Content& content) {
    main->Save1Click();
    dialog->edtSpr->setText(QString::fromStdString(content.saved));
    dialog->cmbVersion->setCurrentIndex(0);
    settle();
  }
};

void report(benchmark::State& state, const Content& content, const Meter& meter,
            const Meter* bare) {
  state.counters["sprites_per_s"] = kSprites / meter.mean(meter.wall);
  state.counters["MB_file"] = static_cast<double>(content.fileBytes) / 1e6;
  state.counters["user_ms"] = meter.mean(meter.user) * 1e3;
  state.counters["sys_ms"] = meter.mean(meter.system) * 1e3;
  state.counters["xserver_ms"] = meter.mean(meter.server) * 1e3;
  if (bare != nullptr && bare->runs > 0) {
    state.counters["x_bare"] = meter.mean(meter.wall) / bare->mean(bare->wall);
    state.counters["x_bare_user"] = meter.mean(meter.user) / bare->mean(bare->user);
    state.counters["x_bare_cpu"] = meter.meanCpu() / bare->meanCpu();
  }
}

void bareLoad(benchmark::State& state, Setup& setup, Content& content) {
  // Each load replaces the file the previous one left open, as an open through the window
  // replaces the file being edited: the new sprites are read while the old ones still live.
  // Two loads first, so that the measured ones run as repeated opens do, on the memory the load
  // before freed; fresh memory is slow to fault in on a virtual machine, and how slow varies.
  tess::TSpriteFile bare(setup.quiet);
  if (!bare.load(content.file, true) || !bare.load(content.file, true)) {
    state.SkipWithError("load failed");
    return;
  }
  Meter meter;
  for (auto _ : state) {
    bool loaded = false;
    meter.time(setup.xServer, [&] { loaded = bare.load(content.file, true); });
    if (!loaded) state.SkipWithError("load failed");
    state.SetIterationTime(meter.last);
  }
  content.bareLoad = meter;
  report(state, content, meter, nullptr);
}

void openThroughWindow(benchmark::State& state, Setup& setup, Content& content, int position) {
  // As for the bare load: the measured opens reuse the memory the open before freed.
  setup.toOpen(content, position);
  click(setup.dialog->btnExecute);
  settle();
  Meter meter;
  for (auto _ : state) {
    setup.toOpen(content, position);
    setup.main->setWindowTitle(QStringLiteral("before"));
    meter.time(setup.xServer, [&] {
      click(setup.dialog->btnExecute);
      settle();
    });
    if (setup.core.spriteFile.Sprites.size() != static_cast<std::size_t>(kSprites) ||
        setup.main->windowTitle() == QStringLiteral("before")) {
      state.SkipWithError("open failed");
    }
    state.SetIterationTime(meter.last);
  }
  report(state, content, meter, &content.bareLoad);
}

void openChosenVersion(benchmark::State& state, Setup& setup, Content& content) {
  openThroughWindow(state, setup, content, 1);
}

void openAutoDetect(benchmark::State& state, Setup& setup, Content& content) {
  openThroughWindow(state, setup, content, 0);
}

void bareSave(benchmark::State& state, Setup& setup, Content& content) {
  tess::TSpriteFile bare(setup.quiet);
  if (!bare.load(content.file, true) || !bare.save(content.bareSaved, kSignature, true)) {
    state.SkipWithError("load failed");
    return;
  }
  Meter meter;
  for (auto _ : state) {
    bool saved = false;
    meter.time(setup.xServer, [&] { saved = bare.save(content.bareSaved, kSignature, true); });
    if (!saved) state.SkipWithError("save failed");
    state.SetIterationTime(meter.last);
  }
  content.bareSave = meter;
  report(state, content, meter, nullptr);
}

void saveThroughWindow(benchmark::State& state, Setup& setup, Content& content) {
  if (setup.core.spriteFile.Sprites.size() != static_cast<std::size_t>(kSprites) ||
      setup.core.currentFileName != content.file) {
    setup.toOpen(content);
    click(setup.dialog->btnExecute);
    settle();
  }
  setup.toSave(content);
  click(setup.dialog->btnExecute);
  settle();
  Meter meter;
  for (auto _ : state) {
    setup.toSave(content);
    setup.main->setWindowTitle(QStringLiteral("before"));
    meter.time(setup.xServer, [&] {
      click(setup.dialog->btnExecute);
      settle();
    });
    if (setup.main->windowTitle() == QStringLiteral("before")) state.SkipWithError("save failed");
    state.SetIterationTime(meter.last);
  }
  report(state, content, meter, &content.bareSave);
}

// What the writer's call for every run pair costs the window system's host, apart from the
// event processing itself: a save of the realistic file makes about 2.5 million such calls.
void hostEventCalls(benchmark::State& state, Setup& setup) {
  constexpr int kCalls = 2500000;
  Meter meter;
  for (auto _ : state) {
    meter.time(setup.xServer, [&] {
      for (int call = 0; call < kCalls; ++call) setup.host.processPendingEvents();
    });
    state.SetIterationTime(meter.last);
  }
  state.counters["ns_per_call"] = meter.mean(meter.wall) / kCalls * 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
  }
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Setup prepared;
  if (!prepared.prepare()) {
    std::fprintf(stderr, "could not prepare the benchmark files\n");
    return 1;
  }
  std::printf("platform %s, %d sprites; random %.1f MB, realistic %.1f MB in %s\n",
              qPrintable(QGuiApplication::platformName()), kSprites,
              static_cast<double>(prepared.random.fileBytes) / 1e6,
              static_cast<double>(prepared.realistic.fileBytes) / 1e6,
              qPrintable(prepared.dir.path()));
  if (prepared.xServer > 0) {
    std::printf("X server: process %d, %.2f s of CPU so far\n", prepared.xServer,
                xServerCpuSeconds(prepared.xServer));
  } else {
    std::printf("X server: not found on this machine, xserver_ms stays 0\n");
  }
  using Body = void (*)(benchmark::State&, Setup&, Content&);
  const std::pair<const char*, Body> bodies[] = {{"BareLoad", bareLoad},
                                                 {"OpenThroughWindow", openChosenVersion},
                                                 {"OpenAutoDetect", openAutoDetect},
                                                 {"BareSave", bareSave},
                                                 {"SaveThroughWindow", saveThroughWindow}};
  for (int round = 0; round < 3; ++round) {
    // Interleaved rounds, so that a slow phase of the machine hits both alike.
    for (Content* content : {&prepared.random, &prepared.realistic}) {
      for (const auto& [name, body] : bodies) {
        benchmark::RegisterBenchmark((std::string(name) + "/" + content->name).c_str(), body,
                                     std::ref(prepared), std::ref(*content))
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(3);
      }
    }
  }
  benchmark::RegisterBenchmark("HostEventCalls", hostEventCalls, std::ref(prepared))
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(5);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
