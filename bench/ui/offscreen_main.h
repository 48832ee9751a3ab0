#pragma once
// The main function of a benchmark of windows: Qt on the offscreen platform, then the
// benchmarks, then `release` (the data the benchmarks kept) before Qt goes.
#include <QApplication>
#include <QByteArray>

#include <benchmark/benchmark.h>

inline int run_offscreen_benchmarks(int argc, char** argv, void (*release)())
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    release();
    return 0;
}
