// A C++ program that knows nothing of the reporter: it throws an exception
// nobody catches. Linked with the reporter, its report names the throw.
// expect: exit=1
// expect: reports=1
// expect: type=std::out_of_range
// expect: stack=*|*|*__throw_out_of_range_fmt*|*
// expect: stack=TrackList.cpp||TrackAt|@at
// expect: stack=TrackList.cpp||main|@main
#include <cstdio>
#include <string>
#include <vector>

__attribute__((noinline)) const std::string& TrackAt(const std::vector<std::string>& tracks,
                                                     std::size_t index) {
  return tracks.at(index);  // mark: at
}

int main(int argc, char**) {
  const std::vector<std::string> tracks = {"intro.avi", "loop.avi"};
  std::printf("%s\n", TrackAt(tracks, static_cast<std::size_t>(argc) + 1).c_str());  // mark: main
  return 0;
}
