// Keeps Wine's services up between test processes; ended by wineserver -k, or by itself
// after half an hour so it never outlives a test run by much.
#include <windows.h>

int main() {
  Sleep(30 * 60 * 1000);
  return 0;
}
