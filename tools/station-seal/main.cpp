// k40_station_seal [--check] FILE
// Re-seals an edited station file in place by rewriting its "<!-- seal XXXX -->" comment at
// the end of the TUN value; with --check only reports whether the program would accept it.
// Exit status: 0 sealed, 1 not sealed or failed, 2 usage.

#include "station_seal.h"
#include "utils.h"

#include <cstdio>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: k40_station_seal [--check] FILE\n"
                         "  Rewrites the seal comment at the end of the TUN value of FILE\n"
                         "  so that the programmer accepts the edited station file.\n"
                         "  --check  only report whether FILE is sealed\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    bool check = false;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--check" && !check)
            check = true;
        else if (!arg.empty() && arg[0] != '-' && path.empty())
            path = arg;
        else
            return usage();
    }
    if (path.empty())
        return usage();

    std::string raw;
    if (read_file_to_string(path, raw) < 0) {
        std::fprintf(stderr, "%s: cannot read\n", path.c_str());
        return 1;
    }
    const bool crlf = raw.find("\r\n") != std::string::npos;
    const std::string text = text_crlf_to_lf(raw);

    unsigned sum = 0;
    const bool is_sealed = station_text_is_sealed(text, sum);
    if (check) {
        std::printf("%s: %s (checksum 0x%04X)\n", path.c_str(), is_sealed ? "sealed" : "NOT sealed",
                    sum);
        return is_sealed ? 0 : 1;
    }

    std::string sealed, word, error;
    if (!station_seal_text(text, sealed, word, error)) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
        return 1;
    }
    // Written beside the file and renamed over it, so a failure never leaves half a file.
    const std::string tmp = path + ".seal-tmp";
    const bool written = crlf ? write_text_file(sealed, tmp) > 0
                              : write_string_to_file(sealed, tmp) > 0;
    if (!written || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        std::fprintf(stderr, "%s: cannot write\n", path.c_str());
        return 1;
    }
    std::printf("%s: sealed with <!-- seal %s -->\n", path.c_str(), word.c_str());
    return 0;
}
