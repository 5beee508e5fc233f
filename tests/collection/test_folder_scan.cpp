// Walking folder trees for the collection: which files are found, in which
// order, and what a hostile tree (link loops, unreadable folders, names the
// code page cannot hold) does to the walk.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "collection/collection_table.h"
#include "collection/folder_scan.h"
#include "collection/title_record.h"
#include "common/file_open.h"
#include "metadata/audio_file.h"
#include "support/mp3_tree.h"
#include "test_files.h"

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

struct Walk {
  std::vector<std::string> files;
  TFolderScanResult result;
};

Walk WalkTree(const std::string& folder, bool recursive, std::size_t maxPathBytes = 0) {
  Walk walk;
  TFolderScanOptions options;
  options.recursive = recursive;
  options.maxPathBytes = maxPathBytes;
  TFolderScanCallbacks callbacks;
  callbacks.file = [&walk](const std::string& path) { walk.files.push_back(path); };
  walk.result = ScanFolder(folder, options, callbacks);
  return walk;
}

std::vector<std::string> Prefixed(const std::string& root, const std::vector<std::string>& names) {
  std::vector<std::string> paths;
  for (const std::string& name : names) paths.push_back(root + "/" + name);
  return paths;
}

TEST(FolderScan, MaskIgnoresTheCaseOfLettersOnly) {
  const struct {
    const char* name;
    const char* mask;
    bool matches;
  } cases[] = {
      {"Lied.mp3", "*.mp3", true},  {"Lied.MP3", "*.mp3", true},     {"Lied.Mp3", "*.mp3", true},
      {".mp3", "*.mp3", true},      {"Lied.mp3.txt", "*.mp3", false}, {"Lied.mp3x", "*.mp3", false},
      {"mp3", "*.mp3", false},      {"a.b.mp3", "*.mp3", true},       {"Lied.mp3", "*", true},
      {"L\xC3\xB6.MP3", "*.mp3", true}, {"x.mp2", "*.mp?", true},     {"*.mp3", "*.mp3", true},
  };
  for (const auto& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches) << c.name << " " << c.mask;
}

// A folder's own files first, in byte order of their names (hidden, read-only
// and upper-case ones included), then each subfolder depth-first; a folder
// whose name matches the mask is walked, not taken as a file.
TEST(FolderScan, FilesFirstThenSubfoldersDepthFirstInByteOrder) {
  ScratchDir dir;
  const std::string root = dir.File("tree");
  for (const char* name : {"b.mp3", "A.MP3", ".hidden.mp3", "readonly.mp3", "sub1/x.mp3", "sub1/deeper/y.mp3",
                           "sub2/z.mp3", "folder.mp3/inner.mp3", ".versteckt/v.mp3"}) {
    WriteTinyMp3(fs::path(root) / name);
  }
  WriteBytes(root + "/notes.txt", "no music");
  fs::permissions(root + "/readonly.mp3", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

  const std::vector<std::string> ownFiles = {".hidden.mp3", "A.MP3", "b.mp3", "readonly.mp3"};
  std::vector<std::string> all = ownFiles;
  for (const char* name : {".versteckt/v.mp3", "folder.mp3/inner.mp3", "sub1/x.mp3", "sub1/deeper/y.mp3", "sub2/z.mp3"})
    all.push_back(name);

  const struct {
    std::string folder;
    bool recursive;
    std::vector<std::string> expected;
  } cases[] = {
      {root, false, ownFiles},
      {root + "/", false, ownFiles},  // the delimiter is not doubled
      {root, true, all},
      {root + "/", true, all},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder + (c.recursive ? " recursive" : ""));
    const Walk walk = WalkTree(c.folder, c.recursive);
    EXPECT_EQ(walk.files, Prefixed(root, c.expected));
    EXPECT_EQ(walk.result.files, c.expected.size());
    EXPECT_EQ(walk.result.leftOut, 0u);
    EXPECT_FALSE(walk.result.stopped);
  }
}

// Links to folders are followed, but a real folder is walked once: a loop ends,
// and a second way into the same folder finds nothing twice.
TEST(FolderScan, FolderLinksAreFollowedOncePerRealFolder) {
  ScratchDir dir;
  const std::string root = dir.File("tree");
  const std::string outside = dir.File("outside");
  WriteTinyMp3(fs::path(root) / "a.mp3");
  WriteTinyMp3(fs::path(root) / "sub/b.mp3");
  WriteTinyMp3(fs::path(outside) / "c.mp3");
  fs::create_directory_symlink("..", root + "/sub/loop");
  fs::create_directory_symlink(root, root + "/sub/self");
  fs::create_directory_symlink(root + "/sub", root + "/zweiter_weg");
  fs::create_directory_symlink(outside, root + "/extern");
  fs::create_symlink(root + "/missing", root + "/dangling");

  const Walk walk = WalkTree(root, true);
  EXPECT_EQ(walk.files, Prefixed(root, {"a.mp3", "extern/c.mp3", "sub/b.mp3"}));
  EXPECT_EQ(walk.result.unreadableFolders, 0u);
}

// Runs fn where folder permissions hold: as an ordinary user in a child
// process when the test runs as root, who may read any folder.
std::vector<std::string> RunWithoutPrivileges(const std::function<std::vector<std::string>()>& fn) {
  if (::geteuid() != 0) return fn();
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return {"pipe failed"};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    std::string out;
    for (const std::string& line : fn()) out += line + "\n";
    const bool written = ::write(pipeFds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size());
    ::_exit(written ? 0 : 4);
  }
  ::close(pipeFds[1]);
  std::string out;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {"child failed"};
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(out.substr(start, end - start));
  return lines;
}

TEST(FolderScan, AnUnreadableFolderIsPassedOver) {
  ScratchDir dir;
  const std::string root = dir.File("tree");
  WriteTinyMp3(fs::path(root) / "a.mp3");
  WriteTinyMp3(fs::path(root) / "gesperrt/b.mp3");
  WriteTinyMp3(fs::path(root) / "z/c.mp3");
  for (const std::string& open : {fs::path(root).parent_path().string(), root, root + "/z"}) ::chmod(open.c_str(), 0755);
  ::chmod((root + "/gesperrt").c_str(), 0);

  const std::vector<std::string> lines = RunWithoutPrivileges([&root] {
    // A system whose root or temporary folder is closed to other users (a
    // freshly made one, say) cannot show the difference.
    if (::access(root.c_str(), R_OK | X_OK) != 0) return std::vector<std::string>{"tree out of reach"};
    const Walk walk = WalkTree(root, true);
    std::vector<std::string> out = walk.files;
    out.push_back("unreadable " + std::to_string(walk.result.unreadableFolders));
    return out;
  });
  ::chmod((root + "/gesperrt").c_str(), 0755);
  if (lines == std::vector<std::string>{"tree out of reach"}) GTEST_SKIP() << "an ordinary user cannot reach " << root;
  const std::vector<std::string> expected = {root + "/a.mp3", root + "/z/c.mp3", "unreadable 1"};
  EXPECT_EQ(lines, expected);
}

// A stored path must lead back to its file: a name with characters the code
// page lacks, or whose code-page spelling another file's name takes first, is
// left out and counted, and so is a path longer than the collection's path
// field. Names an older system wrote in code-page bytes are kept.
TEST(FolderScan, NamesTheCollectionCannotHoldAreLeftOutAndCounted) {
  ScratchDir dir;
  const std::string root = dir.File("tree");
  const std::string kUtf8Ete = "\xC3\xA9t\xC3\xA9";  // "été" in UTF-8
  const std::string kLatin1Ete = "\xE9t\xE9";          // the same in code-page bytes
  WriteTinyMp3(fs::path(root) / "a/caf\xC3\xA9.mp3");
  WriteTinyMp3(fs::path(root) / "a/\xC5\x82\xC3\xB3\x64\xC5\xBA.mp3");  // "łódź": ł and ź are not in cp1252
  WriteTinyMp3(fs::path(root) / "a/\xFC\x62\x65r.mp3");            // "über" in code-page bytes
  WriteTinyMp3(fs::path(root) / ("b/" + kUtf8Ete + ".mp3"));
  WriteTinyMp3(fs::path(root) / ("b/" + kLatin1Ete + ".mp3"));  // stored as the UTF-8 one's spelling
  WriteTinyMp3(fs::path(root) / "c/\xC5\x82/inside.mp3");       // a folder the code page cannot name
  WriteTinyMp3(fs::path(root) / "d/\xFF\xFE.mp3");               // not UTF-8: code-page bytes
  WriteTinyMp3(fs::path(root) / ("e/" + std::string(80, 'x') + ".mp3"));

  const std::size_t maxPath = root.size() + 40;
  const Walk walk = WalkTree(root, true, maxPath);
  const std::vector<std::string> expected = {
      root + "/a/caf\xE9.mp3", root + "/a/\xFC\x62\x65r.mp3", root + "/b/" + kLatin1Ete + ".mp3",
      root + "/d/\xFF\xFE.mp3"};
  EXPECT_EQ(walk.files, expected);
  EXPECT_EQ(walk.result.leftOut, 4u);  // łódź, the colliding été, inside.mp3, the long name
  for (const std::string& stored : walk.files) {
    EXPECT_TRUE(IsRegularFile(ResolveCodePagePath(stored))) << stored;
  }
  // Every stored path names the file it was found as: the UTF-8 été holds "b"'s only title.
  TAudioFile file;
  file.LoadFromFile(root + "/b/" + kLatin1Ete + ".mp3");
  EXPECT_EQ(file.Title, kUtf8Ete + ".mp3");
}

// What is no regular file when its turn comes is passed over and counted: a
// file removed after the folder was listed, a link to nothing, a named pipe
// (which must not hold the walk up). A link to a file is a file.
TEST(FolderScan, NamesThatAreNoRegularFileWhenReadArePassedOver) {
  ScratchDir dir;
  const fs::path root = dir.File("tree");
  for (const char* name : {"a.mp3", "b.mp3", "f.mp3"}) WriteTinyMp3(root / name);
  fs::create_symlink(root / "nirgends.mp3", root / "c.mp3");
  ASSERT_EQ(::mkfifo((root / "d.mp3").c_str(), 0600), 0);
  fs::create_symlink(root / "f.mp3", root / "e.mp3");
  std::vector<std::string> files;
  TFolderScanCallbacks callbacks;
  callbacks.file = [&](const std::string& path) {
    files.push_back(path);
    fs::remove(root / "b.mp3");  // gone after the listing, before its turn
  };
  const TFolderScanResult result = ScanFolder(root.string(), TFolderScanOptions{}, callbacks);
  EXPECT_EQ(files, Prefixed(root.string(), {"a.mp3", "e.mp3", "f.mp3"}));
  EXPECT_EQ(result.skipped, 3u);
  EXPECT_EQ(result.files, 3u);
}

TEST(FolderScan, APauseAnsweringFalseEndsTheWalkAfterThatFile) {
  ScratchDir dir;
  const std::string root = dir.File("tree");
  for (const char* name : {"1.mp3", "2.mp3", "3.mp3", "sub/4.mp3"}) WriteTinyMp3(fs::path(root) / name);
  std::vector<std::string> files;
  int pauses = 0;
  TFolderScanOptions options;
  options.recursive = true;
  TFolderScanCallbacks callbacks;
  callbacks.file = [&files](const std::string& path) { files.push_back(path); };
  // The first pause follows the folder's listing, then one after every file.
  callbacks.pause = [&pauses] { return ++pauses < 3; };
  const TFolderScanResult result = ScanFolder(root, options, callbacks);
  EXPECT_EQ(files, Prefixed(root, {"1.mp3", "2.mp3"}));
  EXPECT_TRUE(result.stopped);
  EXPECT_EQ(pauses, 3);
}

TEST(TitleRecord, FieldsAreStoredAsReadWithoutSubstitutes) {
  TAudioFile file;
  file.FilePath = "/musik/ohne tags.mp3";
  file.Title = "ohne tags.mp3";
  file.Duration = 6000;
  TCollectionTable table(TCollectionTable::CollectionWidths(), true);
  AppendTitleRecord(table, file);
  const TCollectionTable::Values expected = {"", "ohne tags.mp3", "/musik/ohne tags.mp3", "", "", "100:00"};
  for (int f = 0; f < TCollectionTable::kFieldCount; ++f) EXPECT_EQ(table.FieldAsString(f), expected[f]) << f;
  EXPECT_EQ(TitleRecordOf(file), expected);
}

}  // namespace
}  // namespace orvela::testing
