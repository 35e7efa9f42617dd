#pragma once

#include <QCoreApplication>
#include <QTest>

#include "core/download/curl_global.h"
#include "gui/app/vel_application.h"

// The main of a widget test, set up as the program's own main: libcurl first,
// before any thread, then the application object the program uses (with the
// shared OpenGL contexts the browser engine needs), then the test.
#define VEL_QTEST_MAIN(TestClass)                                                                  \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        const vel::CurlGlobal curl;                                                                \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                \
        vel::VelApplication app(argc, argv);                                                       \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

// The same for a test that needs no window system (no display, no platform plugin).
#define VEL_QTEST_GUILESS_MAIN(TestClass)                                                          \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        const vel::CurlGlobal curl;                                                                \
        QCoreApplication app(argc, argv);                                                          \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
