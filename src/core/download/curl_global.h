#pragma once

namespace vel {

// libcurl's process-wide set-up, done once before any other thread starts (the
// library's own rule) and undone when the program ends. Create one in main().
class CurlGlobal {
public:
    CurlGlobal();
    ~CurlGlobal();
    CurlGlobal(const CurlGlobal&) = delete;
    CurlGlobal& operator=(const CurlGlobal&) = delete;

    // False when the library could not be set up; no transfer can start then.
    bool ready() const { return m_ready; }

private:
    bool m_ready = false;
};

}  // namespace vel
