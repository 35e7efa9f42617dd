// The main of every GoogleTest program over velcore.
#include <cstdio>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/download/curl_global.h"

int main(int argc, char** argv)
{
    // As in the program: libcurl is set up before any test can start a thread.
    const vel::CurlGlobal curl;
    if (!curl.ready())
        std::fprintf(stderr, "libcurl could not be set up; transfers will fail\n");
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
