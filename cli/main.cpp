// korvane-cli: the headless front end over the crawl engine.
#include <cstdio>

int main() {
  std::puts("korvane-cli " KORVANE_VERSION);
  return 0;
}
