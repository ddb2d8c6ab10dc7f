// Sends the game window what the system sends it, for the Windows end-to-end
// runs: "close" posts WM_CLOSE; "endsession" sends WM_QUERYENDSESSION and then
// WM_ENDSESSION, as a logoff does, and returns once the window has answered
// both; "client" prints where the window's client area lies on the screen
// ("X Y WIDTH HEIGHT"), which the system may have clipped. Exit status 0 when
// the window was there and answered.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
  const char *what = argc > 1 ? argv[1] : "";
  HWND game = FindWindowA("Pabrix", "Pabrix");
  if (!game) {
    std::fprintf(stderr, "wine_send: no game window\n");
    return 2;
  }
  if (std::strcmp(what, "close") == 0) return PostMessageA(game, WM_CLOSE, 0, 0) ? 0 : 1;
  if (std::strcmp(what, "client") == 0) {
    RECT r;
    POINT origin = {0, 0};
    if (!GetClientRect(game, &r) || !ClientToScreen(game, &origin)) return 1;
    std::printf("%ld %ld %ld %ld\n", origin.x, origin.y, r.right - r.left, r.bottom - r.top);
    return 0;
  }
  if (std::strcmp(what, "endsession") != 0) return 3;
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(game, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000, &answer))
    return 1;
  std::printf("WM_QUERYENDSESSION answered %lu\n", (unsigned long)answer);
  if (!SendMessageTimeoutA(game, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 60000, &answer))
    return 1;
  std::printf("WM_ENDSESSION returned\n");
  return 0;
}
