// Stand-in for the game's launcher (and for wine): writes the arguments it was started with to
// the file named by ARGV_RECORD, one argument after another, each ended by a NUL byte. The
// record appears at once, complete (written beside it, then renamed).
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const char* record = std::getenv("ARGV_RECORD");
    if (!record) return 2;
    std::string content;
    for (int i = 0; i < argc; ++i) {
        content += argv[i];
        content += '\0';
    }
    const std::string temporary = std::string(record) + ".writing";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return 3;
    const bool written =
        write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    close(fd);
    return written && std::rename(temporary.c_str(), record) == 0 ? 0 : 4;
}
