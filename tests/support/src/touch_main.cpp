// qmtest_touch FILE...: creates each file that does not exist and moves the modification time
// of each that does to now, as touch(1) does; exits 1 when a file cannot be made. The tests
// use it as the program a module starts, on every platform.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

int main(int argc, char** argv) {
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path = std::filesystem::u8path(argv[i]);
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) {
            std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now(),
                                             ec);
        } else if (std::FILE* f = std::fopen(argv[i], "ab")) {
            std::fclose(f);
        } else {
            ec = std::make_error_code(std::errc::io_error);
        }
        if (ec) {
            std::fprintf(stderr, "qmtest_touch: %s: cannot touch\n", argv[i]);
            status = 1;
        }
    }
    return status;
}
