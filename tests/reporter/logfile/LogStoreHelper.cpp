// Stores reports into a log as the reporter does, for the test of two
// processes storing at once. usage: log_store_helper LOG NAME COUNT
#include <cstdlib>
#include <string>

#include "reporter/logfile/LogFileStore.h"

namespace {

class TNoHandlers : public TLogStoreEvents {
 public:
  void ActionNotify(TVexlorAction, bool&) override {}
  void ErrorNotify(TVexlorAction, bool&) override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string name = argv[2];
  const int count = std::atoi(argv[3]);
  TVexlorLogStore store;
  TNoHandlers events;
  TLogStoreRequest request;
  request.FileName = argv[1];
  request.Maximum = 1000;
  for (int i = 0; i < count; ++i) {
    std::string text = "VexlorLog 4.5.8\r\n\r\n  2.5 Message: " + name + " " + std::to_string(i) +
                       "\r\n" + std::string(4000, 'x') + "\r\n";
    std::string logText = text;
    if (!store.Store(request, {text, logText}, events)) return 1;
  }
  return 0;
}
