#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTextStream>
#include <QWidget>
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

// Writes a config.ini of one 32-bit client version (10.98) into `folder`; false when it cannot.
inline bool writeOneVersionConfig(const QDir& folder) {
  QFile ini(folder.filePath(QStringLiteral("config.ini")));
  if (!ini.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  QTextStream(&ini) << "[10.98]\nSPRSignature=57BBD603\nsprite32=1\n";
  return true;
}

// What `widget` shows, painted afresh into an image, as a screen update would paint it.
inline QImage renderedImage(QWidget* widget) {
  QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
  widget->render(&image);
  return image;
}

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
