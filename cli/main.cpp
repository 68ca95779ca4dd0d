// Placeholder until the command-line front end lands; see cli/ history.
#include <cstdio>

int main() {
  std::fputs("usage: dorvane check|merge|script2d|script3d ...\n", stderr);
  return 2;
}
