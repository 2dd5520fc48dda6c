#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>
#include <string>

#include "ui/QtHost.h"

namespace tess::bench {

// A host that stays silent: a benchmark must not stop at a message box, so messages go to
// stderr, every question is answered Yes, and the event loop is never ended.
class BenchHost : public QtHost {
 protected:
  void presentMessage(const std::string& text, const std::string&, TMsgIcon) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
  }
  bool presentQuestion(const std::string&, const std::string&, TMsgIcon) override { return true; }
  void endEventLoop() override {}
};

// The main function of a benchmark over the windows: headless unless a platform was chosen.
inline int runWindowBenchmarks(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace tess::bench
