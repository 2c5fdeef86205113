// A stand-in for a program that the code under test starts (a downloaded
// tool package, the tool started again): it notes that it ran, with its
// arguments, in the file "<its own path>.ran" ("ran" and each argument after
// a blank, one line) and ends. With "--sleep N" it only waits N seconds, as a
// tool that is still running. Plain C++ and, on Windows, linked statically,
// so that a copy runs from any folder.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>

#include <unistd.h>
#endif

namespace {
FILE* openRanFile()
{
#ifdef _WIN32
    // The wide names: the path may hold any character.
    wchar_t path[MAX_PATH + 8] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    wcscat(path, L".ran");
    return _wfopen(path, L"wb");
#else
    char path[PATH_MAX + 8] = {};
    const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
    if (length <= 0 || length >= PATH_MAX)
        return nullptr;
    std::strcat(path, ".ran");
    return std::fopen(path, "wb");
#endif
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--sleep") == 0) {
        std::this_thread::sleep_for(std::chrono::seconds(std::stoi(argv[2])));
        return 0;
    }
    std::string line = "ran";
    for (int i = 1; i < argc; ++i)
        line += std::string(" ") + argv[i];
    line += "\n";
    FILE* file = openRanFile();
    if (!file)
        return 1;
    bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    written = std::fclose(file) == 0 && written;
    // A copy where the caller looks, for a stand-in run from a folder that
    // goes away soon after (the self-update's private folder).
    if (const char* also = std::getenv("LUMORAN_STANDIN_RAN")) {
        FILE* copy = std::fopen(also, "wb");
        written = copy && std::fwrite(line.data(), 1, line.size(), copy) == line.size() && written;
        written = copy && std::fclose(copy) == 0 && written;
    }
    return written ? 0 : 1;
}
