// post-message WINDOW MESSAGE WPARAM LPARAM: posts one message to a window of another process.
// Numbers are decimal, or hexadecimal with 0x. Exit code 0 when posted, 1 when PostMessageA
// failed, 2 on wrong usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: post-message WINDOW MESSAGE WPARAM LPARAM\n");
    return 2;
  }
  auto number = [](const char* text) { return strtoull(text, nullptr, 0); };
  auto window = reinterpret_cast<HWND>(static_cast<uintptr_t>(number(argv[1])));
  if (!PostMessageA(window, static_cast<UINT>(number(argv[2])), static_cast<WPARAM>(number(argv[3])),
                    static_cast<LPARAM>(number(argv[4])))) {
    fprintf(stderr, "post-message: PostMessageA failed (error %lu)\n", GetLastError());
    return 1;
  }
  return 0;
}
