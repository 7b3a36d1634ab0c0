// The programs among files that others control: a second user who can write
// the folder, a link swapped in while a file is written, a full disk, a kill,
// names that are not what they seem. One row per attack, through the built
// programs, with what must hold afterwards. Runs that are held at a known
// point wait on a full standard error (Limits::stallMessages), so no row
// depends on timing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <thread>

#include "test_support.h"

using namespace testsupport;

namespace {

constexpr uid_t kNobody = 65534;
const std::string kText = "<emoji><a>1</a></emoji>";
// A GIF text whose tail no tag end follows: the comment writer reports it in
// the middle of the rewrite, after the new file is created and before its
// last write.
const std::string kTextWithTail = "<emoji><a>1</a>tail";
const std::string kTailMessages =
    "Error: 1:pic.gif: cannot find tag-end\nError: 1:pic.gif: tag too long\n";
const std::string kGroupTail = ",yomi1\n,hyoki1\n,hinsi1\n,category1\n,type\n,tag1\n,tagcont\n";

// What a row is given: its directory and, where it needs one, a copy of
// emojitag that user "nobody" can run.
struct Env {
    std::string dir;
    std::string toolForNobody;
    std::string operator/(const std::string &name) const { return dir + "/" + name; }
};

struct stat statOf(const std::string &path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st;
}

mode_t modeOf(const std::string &path) {
    return statOf(path).st_mode & 07777;
}

std::string quoted(const std::string &s) {
    return "'" + s + "'";
}

// What the plain run writes for tiny.gif saved as pic.gif with kText.
std::string taggedGif() {
    TempDir dir;
    writeFile(dir / "pic.gif", testData("tiny.gif"));
    writeFile(dir / "list.csv", "pic.gif," + kText + "\n");
    EXPECT_EQ(runTool({"list.csv"}, dir.path()).err, "");
    return readFile(dir / "pic-out.gif");
}

// The temporary file the programs write for NAME: ".NAME.XXXXXX" beside it.
bool isTempOf(const std::string &entry, const std::string &name) {
    return entry.compare(0, name.size() + 2, "." + name + ".") == 0;
}

std::string waitForTemp(const std::string &dir, const std::string &name) {
    for (int i = 0; i < 2000; i++) {
        for (const std::string &entry : listDir(dir))
            if (isTempOf(entry, name)) return dir + "/" + entry;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return "";
}

bool tempLeft(const std::string &dir, const std::string &name) {
    for (const std::string &entry : listDir(dir))
        if (isTempOf(entry, name)) return true;
    return false;
}

// Starts a program held at its first message and returns once its temporary
// file for `name` exists, or kills it and returns false.
bool startHeld(const std::vector<std::string> &args, const Env &env, const std::string &program,
               const std::string &name, Child *child, std::string *temp) {
    Limits lim;
    lim.stallMessages = true;
    lim.program = program;
    *child = startTool(args, env.dir, lim);
    *temp = waitForTemp(env.dir, name);
    if (!temp->empty()) return true;
    kill(child->pid, SIGKILL);
    finishTool(*child);
    return false;
}

// Kills a held program with `sig`: it must end by that signal, its temporary
// file gone and `name` as it was.
void killHeld(const std::vector<std::string> &args, const Env &env, const std::string &program,
              const std::string &name, int sig) {
    const std::string before = readFile(env / name);
    Child child;
    std::string temp;
    ASSERT_TRUE(startHeld(args, env, program, name, &child, &temp)) << "no temporary file";
    ASSERT_EQ(kill(child.pid, sig), 0);
    EXPECT_EQ(finishTool(child).status, -1) << "ended by the signal";
    EXPECT_FALSE(tempLeft(env.dir, name));
    EXPECT_EQ(readFile(env / name), before);
}

// The openat call of `command` that creates its temporary file.
int tempCreatingCall(const std::string &dir, const std::string &command,
                     std::string *shown = nullptr) {
    return openatCallWith(dir, command, {"O_EXCL"}, shown);
}

// Runs `command` with SIGTERM sent the moment its openat call number `call`
// returns, before the program can act on the result; the shell's status.
int terminateAfterCall(const std::string &dir, const std::string &command, int call) {
    return runShell(kStrace + "-o /dev/null -e trace=openat -e inject=openat:signal=SIGTERM:when=" +
                        std::to_string(call) + " " + command,
                    dir)
        .status;
}

// Flips the link `link` to `target` in one step, as a neighbour would.
void flipLink(const Env &env, const std::string &link, const std::string &target) {
    ASSERT_EQ(symlink(target.c_str(), (env / "flip").c_str()), 0);
    ASSERT_EQ(rename((env / "flip").c_str(), (env / link).c_str()), 0);
}

// Whether a directory holds a temporary file of the programs (".NAME.XXXXXX").
bool holdsTemporaryFile(const std::string &dir) {
    for (const std::string &entry : listDir(dir))
        if (entry.size() > 8 && entry[0] == '.' && entry[entry.size() - 7] == '.') return true;
    return false;
}

// Every file of a directory with its bytes, to tell that it is untouched.
std::string snapshot(const std::string &dir) {
    std::string all;
    for (const std::string &entry : listDir(dir))
        all += entry + "=" + readFile(dir + "/" + entry) + "\n";
    return all;
}

// A job in the folder `sub` (a link to A) held between two of its steps
// while the link is flipped to B: the whole job happens in A, and B (another
// user's folder, say) is not touched.
struct SwapRow {
    const char *name;
    const char *why;
    const char *program;
    std::vector<std::string> args;
    std::initializer_list<const char *> stopAfter;  // marks of the openat call to stop after
    const char *madeInA;                            // the file the job writes in A
};

void checkSwap(const Env &env, const SwapRow &row) {
    for (const char *d : {"A", "B"}) {
        ASSERT_EQ(mkdir((env / d).c_str(), 0755), 0);
        writeFile(env / d + "/pic.gif", testData("tiny.gif") + d);
        writeFile(env / d + "/t.csv", std::string("old ") + d);
        writeFile(env / d + "/back.csv", std::string("old ") + d);
    }
    ASSERT_EQ(mkdir((env / "pics").c_str(), 0755), 0);
    writeFile(env / "pics/in.gif", taggedGif());
    writeFile(env / "list.csv", "sub/pic.gif," + kText + "\n");
    writeFile(env / "filled.csv", "pics/in.gif,yomi1,x\n");
    ASSERT_EQ(symlink("A", (env / "sub").c_str()), 0);
    std::string command = std::string(row.program);
    for (const std::string &a : row.args)
        command += " " + quoted(a);
    int call = openatCallWith(env.dir, command, row.stopAfter);
    ASSERT_GT(call, 0) << "no openat call with the marks";
    // The traced run above did the job once: start again from the same state.
    writeFile(env / "A/pic.gif", testData("tiny.gif") + "A");
    if (std::string(row.madeInA) != "pic.gif") std::remove((env / "A/" + row.madeInA).c_str());
    std::string aBefore = snapshot(env / "A"), bBefore = snapshot(env / "B");
    RunResult r = runStoppedAfterCall(env.dir, row.program, row.args, call,
                                      [&] { flipLink(env, "sub", "B"); });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(snapshot(env / "B"), bBefore) << "the job wrote into the other folder";
    EXPECT_FALSE(holdsTemporaryFile(env / "A"));
    EXPECT_FALSE(holdsTemporaryFile(env / "B"));
    EXPECT_TRUE(fileExists(env / "A/" + row.madeInA));
    EXPECT_NE(snapshot(env / "A"), aBefore) << "the job did not happen in its folder";
}

const SwapRow kSwapRows[] = {
    {"ReplaceAfterTheInputIsOpened",
     "-o: the folder flipped between reading the picture and "
     "creating its replacement",
     EMOJITAG_BIN,
     {"-o", "list.csv"},
     {"\"pic.gif\"", "O_RDONLY"},
     "pic.gif"},
    {"ReplaceAfterTheTemporaryFileIsMade",
     "-o: the folder flipped between creating the "
     "replacement and renaming it over the picture",
     EMOJITAG_BIN,
     {"-o", "list.csv"},
     {"pic.gif", "O_EXCL"},
     "pic.gif"},
    {"PlainRunAfterTheInputIsOpened",
     "plain run: the folder flipped between reading the picture "
     "and opening NAME-out.EXT",
     EMOJITAG_BIN,
     {"list.csv"},
     {"\"pic.gif\"", "O_RDONLY"},
     "pic-out.gif"},
    {"TemplateAfterItsTemporaryFile",
     "-f: the folder of the template flipped before the rename",
     EMOJITAG_BIN,
     {"-f", "pics", "sub/t.csv"},
     {"t.csv", "O_EXCL"},
     "t.csv"},
    {"ExtractListAfterItsTemporaryFile",
     "emojitag-extract -o: the folder of the list flipped "
     "before the rename",
     EXTRACT_BIN,
     {"-o", "sub/back.csv", "pics"},
     {"back.csv", "O_EXCL"},
     "back.csv"},
    {"ListAfterItsTemporaryFile",
     "emojitag-list -o: the folder of the list flipped before the "
     "rename",
     LIST_BIN,
     {"-o", "sub/l.csv", "filled.csv"},
     {"l.csv", "O_EXCL"},
     "l.csv"},
};

// What a row needs beyond the built programs.
constexpr int NEEDS_NOTHING = 0;
constexpr int NEEDS_ROOT = 1;         // to make files of another user
constexpr int NEEDS_SECOND_USER = 2;  // root, and "nobody" able to run a copy of the tool
constexpr int NEEDS_XATTRS = 3;       // setfacl, setfattr and a file system that keeps both
constexpr int NEEDS_STRACE = 4;       // strace, allowed to trace here

struct Row {
    const char *name;
    const char *why;
    int needs;
    void (*run)(const Env &env);
};

// Failures name the row, not its bytes.
void PrintTo(const Row &row, std::ostream *os) {
    *os << row.name;
}

const Row kRows[] = {
    {"LinkSwappedInDuringReplacement",
     "-o: the new file swapped for a link to a private file mid-write; attributes go on the "
     "open file, so the private file keeps its mode and bytes",
     NEEDS_NOTHING,
     [](const Env &env) {
         writeFile(env / "pic.gif", testData("tiny.gif"));
         ASSERT_EQ(chmod((env / "pic.gif").c_str(), 02644), 0);  // set-ID bits go on last
         writeFile(env / "victim.txt", "secret");
         ASSERT_EQ(chmod((env / "victim.txt").c_str(), 0600), 0);
         writeFile(env / "list.csv", "pic.gif," + kTextWithTail + "\n");
         Child child;
         std::string temp;
         ASSERT_TRUE(startHeld({"-o", "list.csv"}, env, EMOJITAG_BIN, "pic.gif", &child, &temp));
         ASSERT_EQ(symlink("victim.txt", (env / "swap").c_str()), 0);
         ASSERT_EQ(rename((env / "swap").c_str(), temp.c_str()), 0);
         EXPECT_EQ(finishTool(child).err, kTailMessages);
         EXPECT_EQ(modeOf(env / "victim.txt"), 0600u);
         EXPECT_EQ(readFile(env / "victim.txt"), "secret");
     }},
    {"OtherUsersOutputIsRefused",
     "plain run: NAME-out.EXT of another user beside a link to a private picture is not "
     "written (file open error)",
     NEEDS_ROOT,
     [](const Env &env) {
         writeFile(env / "private.gif", testData("tiny.gif"));
         ASSERT_EQ(chmod((env / "private.gif").c_str(), 0600), 0);
         ASSERT_EQ(symlink("private.gif", (env / "pic.gif").c_str()), 0);
         writeFile(env / "pic-out.gif", "theirs");
         ASSERT_EQ(chmod((env / "pic-out.gif").c_str(), 0600), 0);
         ASSERT_EQ(chown((env / "pic-out.gif").c_str(), kNobody, kNobody), 0);
         writeFile(env / "list.csv", "pic.gif," + kText + "\n");
         EXPECT_EQ(runTool({"list.csv"}, env.dir).err, "Error: 1:pic-out.gif: file open error\n");
         EXPECT_EQ(readFile(env / "pic-out.gif"), "theirs");
     }},
    {"HardLinkAtTheOutputIsRefused",
     "plain run: NAME-out.EXT that is another name of another file is not emptied", NEEDS_NOTHING,
     [](const Env &env) {
         writeFile(env / "pic.gif", testData("tiny.gif"));
         writeFile(env / "other.txt", "keep me");
         ASSERT_EQ(link((env / "other.txt").c_str(), (env / "pic-out.gif").c_str()), 0);
         writeFile(env / "list.csv", "pic.gif," + kText + "\n");
         EXPECT_EQ(runTool({"list.csv"}, env.dir).err, "Error: 1:pic-out.gif: file open error\n");
         EXPECT_EQ(readFile(env / "other.txt"), "keep me");
     }},
    {"AclAndExtendedAttributesAreKept",
     "-o: the ACL (user:nobody:rw-, group::r--), its mask in the mode and user.x stay",
     NEEDS_XATTRS,
     [](const Env &env) {
         writeFile(env / "pic.gif", testData("tiny.gif"));
         writeFile(env / "list.csv", "pic.gif," + kText + "\n");
         ASSERT_EQ(runShell("chmod 644 pic.gif && setfacl -m u:nobody:rw-,g::r-- pic.gif && "
                            "setfattr -n user.x -v kept pic.gif",
                            env.dir)
                       .status,
                   0);
         std::string acl = runShell("getfacl --omit-header pic.gif", env.dir).out;
         EXPECT_EQ(runTool({"-o", "list.csv"}, env.dir).err, "");
         EXPECT_EQ(readFile(env / "pic.gif"), taggedGif());
         EXPECT_EQ(runShell("getfacl --omit-header pic.gif", env.dir).out, acl);
         EXPECT_EQ(runShell("getfattr --only-values -n user.x pic.gif", env.dir).out, "kept");
         EXPECT_EQ(modeOf(env / "pic.gif"), 0664u);
     }},
    {"GroupThatCannotBeKeptTakesItsBits",
     "-o by the owner outside the picture's group: the group bits are cleared, never left "
     "to the runner's own group",
     NEEDS_SECOND_USER,
     [](const Env &env) {
         ASSERT_EQ(chmod(env.dir.c_str(), 0777), 0);
         writeFile(env / "pic.gif", testData("tiny.gif"));
         ASSERT_EQ(chown((env / "pic.gif").c_str(), kNobody, 0), 0);  // group root
         ASSERT_EQ(chmod((env / "pic.gif").c_str(), 0640), 0);
         writeFile(env / "list.csv", "pic.gif," + kText + "\n");
         Limits lim;
         lim.asNobody = true;
         lim.program = env.toolForNobody;
         EXPECT_EQ(runLimited({"-o", "list.csv"}, env.dir, lim).err, "");
         struct stat st = statOf(env / "pic.gif");
         EXPECT_EQ(readFile(env / "pic.gif"), taggedGif());
         EXPECT_EQ(st.st_uid, kNobody);
         EXPECT_NE(st.st_gid, 0u);
         EXPECT_EQ(st.st_mode & 07777, 0600u);
     }},
    {"TemplateOnAFullDisk",
     "-f: writes fail past 4096 bytes; reported with the list's path, the old list whole, "
     "status 0",
     NEEDS_NOTHING,
     [](const Env &env) {
         ASSERT_EQ(runShell("mkdir t && i=0; while [ $i -lt 200 ]; do : > t/img$i.gif; "
                            "i=$((i + 1)); done",
                            env.dir)
                       .status,
                   0);
         writeFile(env / "t.csv", "old list\n");
         RunResult r = runToolWithFileLimit({"-f", "t", "t.csv"}, env.dir, 4096);
         EXPECT_EQ(r.status, 0);
         EXPECT_EQ(r.err, "Error: t.csv: write error\n");
         EXPECT_EQ(readFile(env / "t.csv"), "old list\n");
         EXPECT_FALSE(tempLeft(env.dir, "t.csv"));
     }},
    {"TemplateNameIsALink",
     "-f: a link at the template's name is replaced by the new list, its target untouched",
     NEEDS_NOTHING,
     [](const Env &env) {
         writeFile(env / "victim.txt", "secret");
         ASSERT_EQ(symlink("victim.txt", (env / "t.csv").c_str()), 0);
         ASSERT_EQ(runShell("mkdir t && : > t/a.gif", env.dir).status, 0);
         EXPECT_EQ(runTool({"-f", "t", "t.csv"}, env.dir).err, "");
         EXPECT_TRUE(S_ISREG(statOf(env / "t.csv").st_mode));
         EXPECT_EQ(readFile(env / "t.csv"), "t/a.gif" + kGroupTail);
         EXPECT_EQ(readFile(env / "victim.txt"), "secret");
     }},
    {"TemplateNameIsAFifo",
     "-f: a FIFO at the template's name is refused at once (cannot write open), no hang",
     NEEDS_NOTHING,
     [](const Env &env) {
         ASSERT_EQ(runShell("mkdir t && : > t/a.gif && mkfifo t.csv", env.dir).status, 0);
         RunResult r = runShell("timeout 20 " + quoted(EMOJITAG_BIN) + " -f t t.csv", env.dir);
         EXPECT_EQ(r.status, 0);
         EXPECT_EQ(r.err, "Error: t.csv: cannot write open\n");
         EXPECT_TRUE(S_ISFIFO(statOf(env / "t.csv").st_mode));
     }},
    {"ExtractThatListsNothingKeepsTheList",
     "emojitag-extract -o: every PATH failed (a typo); the old list stays, and it says so",
     NEEDS_NOTHING,
     [](const Env &env) {
         writeFile(env / "back.csv", "edited\n");
         RunResult r = runExtract({"-o", "back.csv", "mising.gif"}, env.dir);
         EXPECT_EQ(r.status, 1);
         EXPECT_EQ(r.err,
                   "emojitag-extract: mising.gif: cannot open\n"
                   "emojitag-extract: back.csv: nothing listed, list left as it was\n");
         EXPECT_EQ(readFile(env / "back.csv"), "edited\n");
     }},
    {"ListThatRefusesEverythingKeepsTheOldFile",
     "emojitag-list -o: every picture refused (a character CP932 lacks), or every line of a "
     "list left out: the edited list or template stays, said so, status 1",
     NEEDS_NOTHING,
     [](const Env &env) {
         writeFile(env / "t.csv", "pic.gif,yomi1,\xF0\x9F\x98\x80\n");
         writeFile(env / "l.csv", "pic.gif,<emoji><a>\xF0\x9F\x98\x80</a></emoji>\n");
         const struct {
             std::vector<std::string> args;
             std::string name;
         } cases[] = {{{"-o", "old.csv", "t.csv"}, "old.csv"},
                      {{"--template", "-o", "old.csv", "l.csv"}, "old.csv"}};
         for (const auto &c : cases) {
             writeFile(env / c.name, "hours of work\n");
             RunResult r = runList(c.args, env.dir);
             EXPECT_EQ(r.status, 1) << c.args[1];
             EXPECT_NE(r.err.find("emojitag-list: old.csv: nothing to write, left as it was\n"),
                       std::string::npos)
                 << r.err;
             EXPECT_EQ(readFile(env / c.name), "hours of work\n") << c.args[1];
             EXPECT_FALSE(tempLeft(env.dir, c.name));
         }
     }},
    {"ExtractRefusesAPictureAfterO",
     "emojitag-extract -o g/*.gif: the first picture is taken for the list's name; refused "
     "(usage error), the picture untouched",
     NEEDS_NOTHING,
     [](const Env &env) {
         ASSERT_EQ(runShell("mkdir g", env.dir).status, 0);
         writeFile(env / "g/a.gif", testData("tiny.gif"));
         writeFile(env / "g/b.gif", testData("tiny.gif"));
         RunResult r = runExtract({"-o", "g/a.gif", "g/b.gif"}, env.dir);
         EXPECT_EQ(r.status, 2);
         EXPECT_EQ(splitLines(r.err)[0],
                   "emojitag-extract: -o needs a name ending in .csv: g/a.gif\n");
         EXPECT_EQ(readFile(env / "g/a.gif"), testData("tiny.gif"));
     }},
    {"ExtractRefusesAListNameHoldingAPicture",
     "emojitag-extract -o pic.csv where pic.csv is a GIF: refused (usage error), untouched",
     NEEDS_NOTHING,
     [](const Env &env) {
         writeFile(env / "pic.csv", testData("tiny.gif"));
         writeFile(env / "pic.gif", taggedGif());
         RunResult r = runExtract({"-o", "pic.csv", "pic.gif"}, env.dir);
         EXPECT_EQ(r.status, 2);
         EXPECT_EQ(splitLines(r.err)[0],
                   "emojitag-extract: -o names a GIF or JPEG file: pic.csv\n");
         EXPECT_EQ(readFile(env / "pic.csv"), testData("tiny.gif"));
     }},
    {"ExtractKeepsTheListsModeAndOwner",
     "emojitag-extract -o: a private list stays private (and its owner's, where root runs)",
     NEEDS_NOTHING,
     [](const Env &env) {
         writeFile(env / "pic.gif", taggedGif());
         writeFile(env / "back.csv", "old\n");
         ASSERT_EQ(chmod((env / "back.csv").c_str(), 0600), 0);
         uid_t owner = geteuid() == 0 ? kNobody : geteuid();
         ASSERT_EQ(chown((env / "back.csv").c_str(), owner, static_cast<gid_t>(-1)), 0);
         RunResult r = runExtract({"-o", "back.csv", "pic.gif"}, env.dir);
         EXPECT_EQ(r.err, "");
         EXPECT_EQ(readFile(env / "back.csv"), "pic.gif,\"" + kText + "\"\n");
         EXPECT_EQ(modeOf(env / "back.csv"), 0600u);
         EXPECT_EQ(statOf(env / "back.csv").st_uid, owner);
     }},
    {"ExtractReplacesALinkAtTheListsName",
     "emojitag-extract -o: a link at the name is replaced by the new list, never followed",
     NEEDS_NOTHING,
     [](const Env &env) {
         writeFile(env / "pic.gif", taggedGif());
         writeFile(env / "victim.txt", "secret");
         ASSERT_EQ(symlink("victim.txt", (env / "back.csv").c_str()), 0);
         EXPECT_EQ(runExtract({"-o", "back.csv", "pic.gif"}, env.dir).err, "");
         EXPECT_TRUE(S_ISREG(statOf(env / "back.csv").st_mode));
         EXPECT_EQ(readFile(env / "back.csv"), "pic.gif,\"" + kText + "\"\n");
         EXPECT_EQ(readFile(env / "victim.txt"), "secret");
     }},
    {"ExtractRefusesAFifoAtTheListsName",
     "emojitag-extract -o: a FIFO at the name is refused at once (cannot write), no hang",
     NEEDS_NOTHING,
     [](const Env &env) {
         writeFile(env / "pic.gif", taggedGif());
         ASSERT_EQ(mkfifo((env / "back.csv").c_str(), 0600), 0);
         RunResult r =
             runShell("timeout 20 " + quoted(EXTRACT_BIN) + " -o back.csv pic.gif", env.dir);
         EXPECT_EQ(r.status, 1);
         EXPECT_EQ(r.err, "emojitag-extract: back.csv: cannot write\n");
     }},
    {"ExtractSheetNameIsALinkOrAFifo",
     "emojitag-extract --html: a link at the sheet's name is replaced, never followed; a FIFO "
     "there is refused at once (cannot write), no hang",
     NEEDS_NOTHING,
     [](const Env &env) {
         writeFile(env / "pic.gif", taggedGif());
         writeFile(env / "victim.txt", "secret");
         ASSERT_EQ(symlink("victim.txt", (env / "s.html").c_str()), 0);
         EXPECT_EQ(runExtract({"--html", "s.html", "pic.gif"}, env.dir).err, "");
         EXPECT_TRUE(S_ISREG(statOf(env / "s.html").st_mode));
         EXPECT_NE(readFile(env / "s.html").find("pic.gif"), std::string::npos);
         EXPECT_EQ(readFile(env / "victim.txt"), "secret");
         ASSERT_EQ(mkfifo((env / "f.html").c_str(), 0600), 0);
         RunResult r =
             runShell("timeout 20 " + quoted(EXTRACT_BIN) + " --html f.html pic.gif", env.dir);
         EXPECT_EQ(r.status, 1);
         EXPECT_EQ(r.err, "emojitag-extract: f.html: cannot write\n");
         EXPECT_FALSE(tempLeft(env.dir, "f.html"));
     }},
    {"InterruptDuringReplacement",
     "emojitag -o, SIGINT mid-write: the temporary file goes, the picture stays whole",
     NEEDS_NOTHING,
     [](const Env &env) {
         writeFile(env / "pic.gif", testData("tiny.gif"));
         writeFile(env / "list.csv", "pic.gif," + kTextWithTail + "\n");
         killHeld({"-o", "list.csv"}, env, EMOJITAG_BIN, "pic.gif", SIGINT);
     }},
    {"TerminateDuringExtractList",
     "emojitag-extract -o, SIGTERM mid-list: the temporary file goes, the old list stays",
     NEEDS_NOTHING,
     [](const Env &env) {
         writeFile(env / "plain.gif", testData("tiny.gif"));  // "no emoji text" holds the run
         writeFile(env / "back.csv", "old\n");
         killHeld({"-o", "back.csv", "plain.gif"}, env, EXTRACT_BIN, "back.csv", SIGTERM);
     }},
    {"TerminateAsTheTemporaryFileIsCreated",
     "emojitag -o and emojitag-extract -o: a SIGTERM in the moment between creating the "
     "temporary file and noting it for removal still removes it",
     NEEDS_STRACE,
     [](const Env &env) {
         writeFile(env / "list.csv", "pic.gif," + kText + "\n");
         const std::string commands[] = {quoted(EMOJITAG_BIN) + " -o list.csv",
                                         quoted(EXTRACT_BIN) + " -o back.csv pic.gif"};
         for (const std::string &command : commands) {
             writeFile(env / "pic.gif", taggedGif());  // so that the traced runs succeed
             writeFile(env / "back.csv", "old\n");
             int call = tempCreatingCall(env.dir, command);
             ASSERT_GT(call, 0) << command;
             writeFile(env / "pic.gif", testData("tiny.gif"));  // the traced run replaced it
             writeFile(env / "back.csv", "old\n");
             EXPECT_EQ(terminateAfterCall(env.dir, command, call), 128 + SIGTERM) << command;
             EXPECT_FALSE(tempLeft(env.dir, "pic.gif")) << command;
             EXPECT_FALSE(tempLeft(env.dir, "back.csv")) << command;
             EXPECT_EQ(readFile(env / "pic.gif"), testData("tiny.gif")) << command;
             EXPECT_EQ(readFile(env / "back.csv"), "old\n") << command;
         }
     }},
    {"NewFileIsCreatedNoMoreOpenThanThePicture",
     "-o: the new file is created private unless the picture gives its group just what it "
     "gives everyone (then with its bits), so no one opens it early who may not open it later",
     NEEDS_STRACE,
     [](const Env &env) {
         writeFile(env / "list.csv", "pic.gif," + kText + "\n");
         const struct {
             mode_t picture;
             const char *created;
         } cases[] = {{0640, "0600)"}, {0604, "0600)"}, {0644, "0644)"}, {0600, "0600)"}};
         for (const auto &c : cases) {
             writeFile(env / "pic.gif", testData("tiny.gif"));
             ASSERT_EQ(chmod((env / "pic.gif").c_str(), c.picture), 0);
             std::string call;
             ASSERT_GT(tempCreatingCall(env.dir, quoted(EMOJITAG_BIN) + " -o list.csv", &call), 0);
             EXPECT_NE(call.find(std::string(", ") + c.created), std::string::npos)
                 << std::oct << c.picture << ": " << call;
             EXPECT_EQ(modeOf(env / "pic.gif"), c.picture);
         }
     }},
    {"PlainOutputIsCreatedNoMoreOpenThanThePicture",
     "plain run: NAME-out.EXT is created giving its first group (a set-group-ID directory's) no "
     "more than everyone, since a descriptor opened then reads all that is written later; it "
     "gets the picture's bits once its group is the picture's",
     NEEDS_STRACE,
     [](const Env &env) {
         // Only root can give the directory a group it is not in.
         ASSERT_EQ(runShell(geteuid() == 0 ? "mkdir s && chgrp 65534 s && chmod 2777 s"
                                           : "mkdir s && chmod 2777 s",
                            env.dir)
                       .status,
                   0);
         writeFile(env / "s/list.csv", "pic.gif," + kText + "\n");
         const mode_t mask = umask(0);
         umask(mask);
         const struct {
             mode_t picture;
             const char *created;
         } cases[] = {{0640, "0600)"}, {0660, "0600)"}, {0644, "0644)"}, {0604, "0604)"}};
         for (const auto &c : cases) {
             writeFile(env / "s/pic.gif", testData("tiny.gif"));
             ASSERT_EQ(chmod((env / "s/pic.gif").c_str(), c.picture), 0);
             ASSERT_EQ(chown((env / "s/pic.gif").c_str(), geteuid(), getegid()), 0);
             unlink((env / "s/pic-out.gif").c_str());
             std::string call;
             ASSERT_GT(openatCallWith(env / "s", quoted(EMOJITAG_BIN) + " list.csv",
                                      {"pic-out.gif", "O_CREAT"}, &call),
                       0);
             EXPECT_NE(call.find(std::string(", ") + c.created), std::string::npos)
                 << std::oct << c.picture << ": " << call;
             EXPECT_EQ(modeOf(env / "s/pic-out.gif"), c.picture & ~mask) << std::oct << c.picture;
             if ((c.picture & 070) != 0) {  // group bits go to the picture's group only
                 EXPECT_EQ(statOf(env / "s/pic-out.gif").st_gid, getegid())
                     << std::oct << c.picture;
             }
         }
     }},
    {"SizeLimitOfTheShellFailsTheWrite",
     "ulimit -f in the user's shell, where SIGXFSZ would end the run with no word and leave the "
     "temporary file: the write fails and is reported as on a full disk, the old files whole",
     NEEDS_NOTHING,
     [](const Env &env) {
         ASSERT_EQ(runShell("mkdir t && i=0; while [ $i -lt 200 ]; do : > t/img$i.gif; "
                            "i=$((i + 1)); done",
                            env.dir)
                       .status,
                   0);
         writeFile(env / "pic.gif", testData("tiny.gif") + std::string(16384, '\0'));
         writeFile(env / "list.csv", "pic.gif," + kText + "\n");
         writeFile(env / "t.csv", "old list\n");
         const struct {
             std::string command, name, message;
         } cases[] = {
             {quoted(EMOJITAG_BIN) + " -f t t.csv", "t.csv", "Error: t.csv: write error\n"},
             {quoted(EMOJITAG_BIN) + " -o list.csv", "pic.gif",
              "Error: 1:pic-out.gif: write error\n"},
         };
         for (const auto &c : cases) {
             const std::string before = readFile(env / c.name);
             // 8 blocks: 4 KiB, or 8 KiB where the shell counts in KiB.
             RunResult r = runShell("ulimit -f 8 && " + c.command, env.dir);
             EXPECT_EQ(r.status, 0) << c.command;
             EXPECT_EQ(r.err, c.message) << c.command;
             EXPECT_EQ(readFile(env / c.name), before) << c.command;
             EXPECT_FALSE(tempLeft(env.dir, c.name)) << c.command;
         }
     }},
    {"MessagesToAReaderThatHasGone",
     "2>&1 | head: the first message raises SIGPIPE mid-write; the temporary file goes first, "
     "the picture and the list stay whole",
     NEEDS_NOTHING,
     [](const Env &env) {
         writeFile(env / "pic.gif", testData("tiny.gif"));
         writeFile(env / "list.csv", "pic.gif," + kTextWithTail + "\n");
         writeFile(env / "plain.gif", testData("tiny.gif"));  // "no emoji text"
         writeFile(env / "back.csv", "old\n");
         const struct {
             std::string command, name;
         } cases[] = {{quoted(EMOJITAG_BIN) + " -o list.csv", "pic.gif"},
                      {quoted(EXTRACT_BIN) + " -o back.csv plain.gif", "back.csv"}};
         for (const auto &c : cases) {
             const std::string before = readFile(env / c.name);
             // Descriptor 4 writes into a FIFO whose only reader is closed.
             RunResult r = runShell(
                 "rm -f p && mkfifo p && exec 3<>p 4>p 3<&- && " + c.command + " 2>&4", env.dir);
             EXPECT_EQ(r.status, 128 + SIGPIPE) << c.command;
             EXPECT_EQ(readFile(env / c.name), before) << c.command;
             EXPECT_FALSE(tempLeft(env.dir, c.name)) << c.command;
         }
     }},
    {"HangupDuringTemplate",
     "emojitag -f, SIGHUP mid-walk: the temporary file goes, the old template stays", NEEDS_NOTHING,
     [](const Env &env) {
         // A name no list line can carry is reported mid-walk, which holds the run.
         ASSERT_EQ(runShell("mkdir t && : > 't/a,b.gif'", env.dir).status, 0);
         writeFile(env / "t.csv", "old\n");
         killHeld({"-f", "t", "t.csv"}, env, EMOJITAG_BIN, "t.csv", SIGHUP);
     }},
    {"DirectoryNamedAsAnImage",
     "a directory named in the list: not found, no output at all (with and without -o), "
     "the batch goes on",
     NEEDS_NOTHING,
     [](const Env &env) {
         ASSERT_EQ(runShell("mkdir d.gif", env.dir).status, 0);
         writeFile(env / "list.csv", "d.gif," + kText + "\npic.gif," + kText + "\n");
         for (const char *opt : {"", "-o"}) {
             writeFile(env / "pic.gif", testData("tiny.gif"));
             std::vector<std::string> args{"list.csv"};
             if (*opt) args.insert(args.begin(), opt);
             EXPECT_EQ(runTool(args, env.dir).err, "Error: 1:d.gif: not found\n") << opt;
             EXPECT_FALSE(fileExists(env / "d-out.gif")) << opt;
             EXPECT_EQ(readFile(env / (*opt ? "pic.gif" : "pic-out.gif")), taggedGif()) << opt;
         }
     }},
    {"DirectoryOrFifoNamedAsTheList",
     "a directory or FIFO named as the list: not found at once from both programs, no hang "
     "(so --check && emojitag -o stops)",
     NEEDS_NOTHING,
     [](const Env &env) {
         ASSERT_EQ(runShell("mkdir d.csv && mkfifo f.csv", env.dir).status, 0);
         for (const std::string list : {"d.csv", "f.csv"}) {
             RunResult r = runShell("timeout 20 " + quoted(EMOJITAG_BIN) + " " + list, env.dir);
             EXPECT_EQ(r.status, 0) << list;
             EXPECT_EQ(r.err, "Error: " + list + ": not found\n") << list;
             r = runShell("timeout 20 " + quoted(EXTRACT_BIN) + " --check " + list, env.dir);
             EXPECT_EQ(r.status, 1) << list;
             EXPECT_EQ(r.err, "Error: " + list + ": not found\n") << list;
         }
     }},
    {"DefaultAclOfTheFolderIsNotInherited",
     "-o, the plain run and -f in a folder whose default ACL gives nobody rwx: files made for a "
     "0640 picture and a 0640 template without an ACL get none",
     NEEDS_XATTRS,
     [](const Env &env) {
         ASSERT_EQ(mkdir((env / "d").c_str(), 0755), 0);
         ASSERT_EQ(mkdir((env / "g").c_str(), 0755), 0);
         writeFile(env / "d/pic.gif", testData("tiny.gif"));
         writeFile(env / "d/t.csv", "old");
         writeFile(env / "list.csv", "d/pic.gif," + kText + "\n");
         ASSERT_EQ(runShell("setfacl -d -m u:nobody:rwx d && setfacl -b d/pic.gif d/t.csv && "
                            "chmod 640 d/pic.gif d/t.csv",
                            env.dir)
                       .status,
                   0);
         EXPECT_EQ(runTool({"list.csv"}, env.dir).err, "");
         EXPECT_EQ(runTool({"-o", "list.csv"}, env.dir).err, "");
         EXPECT_EQ(runTool({"-f", "g", "d/t.csv"}, env.dir).err, "");
         for (const char *f : {"d/pic-out.gif", "d/pic.gif", "d/t.csv"}) {
             EXPECT_EQ(runShell(std::string("getfacl -cp ") + f + " | grep -c nobody", env.dir).out,
                       "0\n")
                 << f;
             EXPECT_EQ(modeOf(env / f) & 0777, 0640u) << f;
         }
     }},
    {"AclThatCannotBeGivenKeepsThePicture",
     "-o: the picture's ACL (group::--- user:nobody:rw-) refused for its replacement (fault "
     "injected): the picture stays as it was, and the job says so",
     NEEDS_XATTRS,
     [](const Env &env) {
         if (!haveProgram("strace")) GTEST_SKIP() << "strace missing (Debian: strace)";
         writeFile(env / "pic.gif", testData("tiny.gif"));
         writeFile(env / "list.csv", "pic.gif," + kText + "\n");
         ASSERT_EQ(runShell("setfacl -m u:nobody:rw-,g::---,m::rw- pic.gif", env.dir).status, 0);
         std::string acl = runShell("getfacl -cp pic.gif", env.dir).out;
         RunResult r = runShell(kStrace +
                                    "-o /dev/null -e trace=fsetxattr "
                                    "-e inject=fsetxattr:error=EPERM " EMOJITAG_BIN " -o list.csv",
                                env.dir);
         EXPECT_EQ(r.err, "Error: 1:pic-out.gif: file open error\n");
         EXPECT_EQ(readFile(env / "pic.gif"), testData("tiny.gif"));
         EXPECT_EQ(runShell("getfacl -cp pic.gif", env.dir).out, acl);
         EXPECT_FALSE(tempLeft(env.dir, "pic.gif"));
     }},
    {"EveryEndingSignalRemovesTheTemporaryFile",
     "-o: SIGUSR1, SIGUSR2, SIGALRM and SIGVTALRM end the run as SIGINT does, without the "
     "temporary file",
     NEEDS_NOTHING,
     [](const Env &env) {
         writeFile(env / "pic.gif", testData("tiny.gif"));
         writeFile(env / "list.csv", "pic.gif," + kTextWithTail + "\n");
         for (int sig : {SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM}) {
             SCOPED_TRACE(sig);
             killHeld({"-o", "list.csv"}, env, EMOJITAG_BIN, "pic.gif", sig);
         }
     }},
    {"ReplacementsAreOnDiskBeforeTheirNames",
     "-o over three pictures: the content is flushed before the first rename, and the folder "
     "is synced after the last",
     NEEDS_STRACE,
     [](const Env &env) {
         std::string list;
         for (const char *n : {"a", "b", "c"}) {
             writeFile(env / n + ".gif", testData("tiny.gif"));
             list += std::string(n) + ".gif," + kText + "\n";
         }
         writeFile(env / "list.csv", list);
         RunResult r = runShell(
             kStrace + "-o trace.txt -e trace=fsync,fdatasync,renameat,rename " EMOJITAG_BIN
                       " -o list.csv",
             env.dir);
         ASSERT_EQ(r.status, 0) << r.err;
         std::string calls;
         for (const std::string &line : splitLines(readFile(env / "trace.txt")))
             if (line.compare(0, 5, "fsync") == 0)
                 calls += "S";
             else if (line.compare(0, 6, "rename") == 0)
                 calls += "R";
         EXPECT_EQ(calls, "SRRRS");
     }},
    {"ExtractShowsControlBytesAsQuestionMarks",
     "emojitag-extract: a LF or ESC in a name is shown as '?', in reports and --check results",
     NEEDS_NOTHING,
     [](const Env &env) {
         writeFile(env / "a\nb.gif", "GIF89a");
         writeFile(env / "c\x1b[31m.gif", "GIF89a");
         RunResult r = runExtract({"a\nb.gif", "c\x1b[31m.gif"}, env.dir);
         EXPECT_EQ(r.err,
                   "emojitag-extract: a?b.gif: malformed GIF\n"
                   "emojitag-extract: c?[31m.gif: malformed GIF\n");
         writeFile(env / "l.csv", "x\x1b.gif," + kText + "\n");
         EXPECT_EQ(runExtract({"--check", "l.csv"}, env.dir).out, "1:x?.gif: not found\n");
     }},
};

// Why a row cannot run here, or "" when it can.
std::string whyNot(int needs, const ReachableCopy &tool) {
    if (needs == NEEDS_NOTHING || needs == NEEDS_XATTRS) return "";
    if (needs == NEEDS_STRACE)
        return haveProgram("strace") && runShell("strace -o /dev/null true").status == 0
                   ? ""
                   : "strace missing (Debian: strace) or not allowed to trace here";
    if (geteuid() != 0) return "only root can make files of another user";
    if (needs == NEEDS_ROOT) return "";
    Limits probe;
    probe.asNobody = true;
    probe.program = "/bin/sh";
    if (tool.path().empty() ||
        runLimited({"-c", "test -x \"$0\"", tool.path()}, ".", probe).status != 0)
        return "user nobody cannot run a copy of the tool";
    return "";
}

// A directory whose file system keeps user extended attributes and ACLs:
// the temporary area, else one in the build tree (tmpfs may keep neither).
std::unique_ptr<TempDir> xattrDir(std::string *whyNotHere) {
    if (!haveProgram("setfacl") || !haveProgram("setfattr") || !haveProgram("getfacl") ||
        !haveProgram("getfattr")) {
        *whyNotHere = "setfacl, getfacl, setfattr or getfattr missing (Debian: acl, attr)";
        return nullptr;
    }
    for (int i = 0; i < 2; i++) {
        auto dir =
            i == 0 ? std::make_unique<TempDir>() : std::make_unique<TempDir>(BUILD_SCRATCH_DIR);
        if (runShell(": > p && setfattr -n user.probe -v 1 p && setfacl -m u:nobody:r p && rm p",
                     dir->path())
                .status == 0)
            return dir;
    }
    *whyNotHere = "neither the temporary area nor the build tree keeps user xattrs and ACLs";
    return nullptr;
}

class FolderSwap : public ::testing::TestWithParam<SwapRow> {};

TEST_P(FolderSwap, KeepsTheJobInOneFolder) {
    const SwapRow &row = GetParam();
    ReachableCopy tool(EMOJITAG_BIN);
    std::string skip = whyNot(NEEDS_STRACE, tool);
    if (!skip.empty()) GTEST_SKIP() << row.why << ": skipped, " << skip;
    SCOPED_TRACE(row.why);
    TempDir dir;
    checkSwap(Env{dir.path(), ""}, row);
}

INSTANTIATE_TEST_SUITE_P(Rows, FolderSwap, ::testing::ValuesIn(kSwapRows),
                         [](const ::testing::TestParamInfo<SwapRow> &row) {
                             return std::string(row.param.name);
                         });

class HostileNeighbour : public ::testing::TestWithParam<Row> {};

TEST_P(HostileNeighbour, Holds) {
    const Row &row = GetParam();
    ReachableCopy tool(EMOJITAG_BIN);
    std::string skip = whyNot(row.needs, tool);
    std::unique_ptr<TempDir> dir =
        row.needs == NEEDS_XATTRS ? xattrDir(&skip) : std::make_unique<TempDir>();
    if (!skip.empty()) GTEST_SKIP() << row.why << ": skipped, " << skip;
    SCOPED_TRACE(row.why);
    row.run(Env{dir->path(), tool.path()});
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileNeighbour, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row> &row) {
                             return std::string(row.param.name);
                         });

}  // namespace
