#pragma once

#include <memory>

#include <QString>

class QLockFile;

namespace vel {

// Keeps a second VEL of the same user from starting. The lock lives in the
// user's runtime directory, never beside the settings files.
class SingleInstance {
public:
    explicit SingleInstance(const QString& directory = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is the only VEL; the lock is held until destruction.
    bool acquire();

private:
    std::unique_ptr<QLockFile> m_lock;
};

}  // namespace vel
