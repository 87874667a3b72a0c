#pragma once
// A bare pseudo-terminal whose far end the test drives byte by byte.

#include <QByteArray>

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

class RawPty {
public:
    RawPty()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        char name[128] = {};
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0
            && ptsname_r(master_, name, sizeof name) == 0)
            name_ = name;
    }
    ~RawPty() { hang_up(); }
    RawPty(const RawPty &) = delete;
    RawPty &operator=(const RawPty &) = delete;

    const char *name() const { return name_.c_str(); }
    bool ok() const { return master_ >= 0 && !name_.empty(); }

    bool send(const QByteArray &bytes)
    {
        return ::write(master_, bytes.constData(), bytes.size()) == bytes.size();
    }
    // What the programmer wrote, collected for up to `wait_ms`.
    QByteArray receive(int want, int wait_ms = 500)
    {
        QByteArray got;
        while (got.size() < want) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, wait_ms) <= 0)
                break;
            char buf[256];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, static_cast<int>(n));
        }
        return got;
    }
    // The line settings the programmer set on its end.
    bool settings(termios *out) const { return master_ >= 0 && tcgetattr(master_, out) == 0; }
    // The cable is pulled.
    void hang_up()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    std::string name_;
};
