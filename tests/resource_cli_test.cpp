#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "child_process.h"
#include "encoder/pack.h"
#include "pe_damage.h"
#include "pe_fixture.h"

namespace lumera {
namespace {

using testing::BytesOf;
using testing::Damages;
using testing::Executable;
using testing::ExecutablePath;
using testing::LayoutOf;
using testing::RunChild;
using testing::TChildRun;
using testing::TDamage;
using testing::TScratchDir;
using testing::WriteFile;

class ResourceCli : public testing::TPeFixtureTest {};

// lumera-pack on executables, from a shell. Every case starts in a fresh folder holding
// the test build's executables, sample.lum and dec.xml from examples/, short.lum (a
// stream small enough to put back) and junk.exe (no MZ header). PACK and EXPLAIN name the
// programs. Afterwards the check, another script, must succeed.
struct TResourceCase {
  const char* Name;
  std::string Script;
  int Status;
  std::string Err = {};  // a pattern matched against all of standard error
  std::string Check = "true";
};

constexpr const char* kShortText = "<a>put back</a>";

std::vector<TResourceCase> ResourceCases() {
  return {
      {"each executable gives the stream that went in",
       "$PACK -x lumera64.exe a && $PACK -x lumera32.exe b && $PACK -x --id 101 numeric_id.exe c "
       "&& $PACK -x mixed.exe d && $PACK -x --name '#101' numeric_id.exe e",
       0, "", "for f in a b c d e; do cmp $f sample.lum || exit 1; done"},
      {"the default names",
       "$PACK -x lumera64.exe && $PACK -x -d lumera32.exe && "
       "$PACK -x --id 101 numeric_id.exe && $PACK -x --name ZZ_OTHER mixed.exe",
       0, "",
       "cmp IDR_LUMERA.lum sample.lum && cmp IDR_LUMERA.xml dec.xml && cmp 101.lum sample.lum && "
       "cmp ZZ_OTHER.lum dec.xml"},
      {"-x -d decodes in one go", "$PACK -x -d lumera64.exe text.xml", 0, "",
       "cmp text.xml dec.xml"},
      {"-x -d refuses an early end unless --allow-trailing takes it",
       "{ cat short.lum; printf 1234; } > t.lum && "
       "$PACK --force-stream --replace t.lum lumera64.exe t.exe && $PACK -x -d t.exe a; "
       "$PACK -x -d --allow-trailing t.exe b",
       0,
       "^lumera-pack: t\\.exe: the stream is damaged, or other data follows it: its end marker "
       "came after 15 output bytes, at source byte [0-9]+ \\(4 source bytes left unused\\.\\); "
       "--allow-trailing takes it as it is\n"
       "lumera-pack: t\\.exe: warning: 4 source bytes left unused\n$",
       "[ ! -e a ] && [ \"$(cat b)\" = '<a>put back</a>' ]"},
      {"standard output into a pipe", "$PACK -x lumera64.exe - | $EXPLAIN - > explained", 0, "",
       "[ -s explained ] && $PACK -x -c lumera64.exe | cmp - sample.lum"},
      {"the first of two languages, said", "$PACK -x languages.exe first", 0,
       "^lumera-pack: languages\\.exe: IDR_LUMERA is there in languages 1031, 1033: took 1031 "
       "\\(choose another with --language\\)\n$",
       "cmp first sample.lum"},
      {"--lang picks one", "$PACK -x --lang 1033 languages.exe second", 0, "",
       "cmp second dec.xml"},
      {"--type and a named type",
       "$PACK -x --type docs --name readme mixed.exe r && "
       "$PACK -x --type 24 --id 1 mixed.exe m",
       0, "", "cmp r dec.xml && cmp m dec.xml"},
      {"not a PE file", "$PACK -x junk.exe; $PACK -x sample.lum out", 1,
       "^lumera-pack: junk\\.exe: not a PE file \\(no MZ header\\)\n"
       "lumera-pack: sample\\.lum: not a PE file \\(no MZ header\\)\n$",
       "[ ! -e IDR_LUMERA.lum ] && [ ! -e out ]"},
      {"no such resource", "$PACK -x numeric_id.exe", 1,
       "^lumera-pack: numeric_id\\.exe: no RCDATA resource named IDR_LUMERA; its RCDATA "
       "resources are #101\n$",
       "[ ! -e IDR_LUMERA.lum ]"},
      {"an existing output needs -f", "echo old > IDR_LUMERA.lum && $PACK -x lumera64.exe", 1,
       "^lumera-pack: IDR_LUMERA\\.lum: already exists; use -f to overwrite\n$",
       "[ \"$(cat IDR_LUMERA.lum)\" = old ] && $PACK -xf lumera64.exe && cmp IDR_LUMERA.lum "
       "sample.lum"},
      {"a stream never to a terminal", "script -qec '$PACK -x lumera64.exe -' /dev/null > shown", 1,
       "", "grep -q 'compressed data is not written to a terminal' shown"},
      {"--list-resources", "$PACK --list-resources mixed.exe > list", 0, "",
       "grep -q '^TYPE  *NAME  *LANG  *SIZE  *OFFSET$' list && grep -q '^RT_RCDATA  *ZZ_OTHER  "
       "*1033  *227  *0x00000B88$' list && [ $(wc -l < list) = 7 ]"},
      {"--replace puts a smaller stream back",
       "$PACK --replace short.lum lumera64.exe new.exe && $PACK -x -d new.exe back.xml", 0, "",
       std::string("[ \"$(cat back.xml)\" = '") + kShortText + "' ]"},
      {"--replace names the language patched, --language picks one, --all-languages each",
       "$PACK --replace short.lum languages.exe a.exe && "
       "$PACK --replace short.lum --language 1033 languages.exe b.exe && "
       "$PACK --all-languages --replace short.lum languages.exe c.exe",
       0,
       "^lumera-pack: languages\\.exe: IDR_LUMERA is there in languages 1031, 1033: patched 1031 "
       "\\(choose another with --language, or patch each with --all-languages\\)\n"
       "lumera-pack: languages\\.exe: IDR_LUMERA is there in languages 1031, 1033: patched "
       "1033\n"
       "lumera-pack: languages\\.exe: IDR_LUMERA is there in languages 1031, 1033: patched each "
       "of them\n$",
       "holds() { $PACK -x --lang $2 $1.exe - | cmp - $3; } && holds a 1031 short.lum && "
       "holds a 1033 dec.xml && holds b 1031 sample.lum && holds b 1033 short.lum && "
       "holds c 1031 short.lum && holds c 1033 short.lum"},
      {"--replace of a named resource beside others",
       "$PACK --replace short.lum --name zz_other mixed.exe new.exe && $PACK -x new.exe a && "
       "$PACK -x --name zz_other new.exe b",
       0, "", "cmp a sample.lum && cmp b short.lum"},
      {"--replace grows the executable for a larger stream",
       "seq 1 2000 > big.txt && $PACK big.txt && $PACK --replace big.txt.lum lumera64.exe a.exe && "
       "$PACK -9 --replace big.txt mixed.exe b.exe && $PACK --replace big.txt.lum "
       "--strip-signature signed.exe c.exe && $PACK --replace dec.xml --force-stream "
       "lumera64.exe d.exe",
       0,
       "^lumera-pack: signed\\.exe: the signature was removed; sign the new file again if it "
       "needs one\n$",
       "for f in a b c; do $PACK -x -d $f.exe - | cmp - big.txt || exit 1; done && "
       "[ $(stat -c %s a.exe) -gt $(stat -c %s lumera64.exe) ] && $PACK -x d.exe - | cmp - "
       "dec.xml"},
      {"--replace refuses a signed file", "$PACK --replace short.lum signed.exe new.exe", 1,
       "^lumera-pack: signed\\.exe: the file is signed, and any change to it breaks the signature; "
       "--strip-signature removes the signature\n$",
       "[ ! -e new.exe ]"},
      // Plain text wants a level, which packs it first; --force-stream would put it in raw.
      {"--replace refuses what does not decode to its end marker",
       "$PACK --replace dec.xml lumera64.exe 'new file.exe'; "
       "$PACK --replace sample.exe.orig lumera64.exe new.exe",
       1,
       "^lumera-pack: dec\\.xml: not a valid stream: decoding failed after 0 output bytes, at "
       "source byte [0-9]+ \\(.+\\)\n"
       "lumera-pack: hint: dec\\.xml looks like plain text; add a level to pack it first, as in "
       "-9 --replace dec\\.xml lumera64\\.exe \"new file\\.exe\"\n"
       "lumera-pack: sample\\.exe\\.orig: not a valid stream: decoding failed after 0 output "
       "bytes, at source byte [0-9]+ \\(.+\\); --force-stream puts it in all the same\n$",
       "[ ! -e new.exe ] && [ ! -e 'new file.exe' ]"},
      {"the new executable takes the old one's mode",
       "chmod 751 lumera64.exe && $PACK --replace short.lum lumera64.exe new.exe", 0, "",
       "[ $(stat -c %a new.exe) = 751 ]"},
      {"the executable is read before the output is looked at",
       "echo old > IDR_LUMERA.lum && $PACK -x sample.lum", 1,
       "^lumera-pack: sample\\.lum: not a PE file \\(no MZ header\\)\n$",
       "[ \"$(cat IDR_LUMERA.lum)\" = old ]"},
      {"--replace onto its own executable",
       "$PACK -f --replace short.lum lumera64.exe lumera64.exe", 1,
       "^lumera-pack: lumera64\\.exe: input and output are the same file\n$",
       "cmp lumera64.exe sample.exe.orig"},
      {"the option rules",
       "$PACK -x --name a --id 1 lumera64.exe; $PACK --lang 9 lumera64.exe; "
       "$PACK -x -t lumera64.exe; $PACK --id x -x lumera64.exe; $PACK --replace short.lum "
       "lumera64.exe; $PACK -d --replace short.lum lumera64.exe n; $PACK --replace short.lum -c "
       "lumera64.exe; $PACK --list-resources --replace short.lum lumera64.exe n; "
       "$PACK --replace - - n < short.lum; $PACK --strip-signature -x lumera64.exe; "
       "$PACK -9 --force-stream --replace dec.xml lumera64.exe n; "
       "$PACK -x --all-languages languages.exe n",
       2,
       "^lumera-pack: --name and --id cannot both be given\nTry.*\n"
       "lumera-pack: --name, --id, --type and --language go with -x or --replace\nTry.*\n"
       "lumera-pack: -x goes with -d only, not with -t, -l, --list-resources or --replace\nTry.*\n"
       "lumera-pack: --id wants a number from 0 to 65535, not 'x'\nTry.*\n"
       "lumera-pack: --replace wants an executable and an OUTPUT\nTry.*\n"
       "lumera-pack: --replace and -d cannot be used together\nTry.*\n"
       "lumera-pack: --replace and -c cannot be used together\nTry.*\n"
       "lumera-pack: --replace and --list-resources cannot be used together\nTry.*\n"
       "lumera-pack: standard input \\('-'\\) can be read only once\nTry.*\n"
       "lumera-pack: --strip-signature goes with --replace\nTry.*\n"
       "lumera-pack: --force-stream and a level cannot be used together: a level packs NEW as "
       "text\nTry.*\n"
       "lumera-pack: --all-languages goes with --replace\nTry.*\n$",
       "[ ! -e n ]"},
  };
}

void Lay(const TScratchDir& dir) {
  for (const char* exe : {"lumera64", "lumera32", "numeric_id", "languages", "mixed"}) {
    WriteFile(dir / (std::string(exe) + ".exe"), Executable(exe));
  }
  WriteFile(dir / "sample.exe.orig", Executable("lumera64"));
  WriteFile(dir / "sample.lum", testing::Example("sample.lum"));
  WriteFile(dir / "dec.xml", testing::Example("dec.xml"));
  WriteFile(dir / "short.lum", Pack(BytesOf(kShortText)));
  WriteFile(dir / "junk.exe", "#!/bin/sh\necho not an executable\n");
  WriteFile(dir / "signed.exe", testing::Signed(Executable("lumera64")));
}

TChildRun RunScript(const TScratchDir& dir, const std::string& script) {
  const std::string programs =
      std::string("export PACK=") + LUMERA_PACK_BINARY + " EXPLAIN=" + LUMERA_EXPLAIN_BINARY + "\n";
  return RunChild("/bin/bash", {"-c", programs + script}, dir);
}

TEST_F(ResourceCli, EachCommandLineDoesWhatItSays) {
  for (const TResourceCase& c : ResourceCases()) {
    SCOPED_TRACE(c.Name);
    TScratchDir dir;
    Lay(dir);
    const TChildRun run = RunScript(dir, c.Script);
    EXPECT_EQ(run.Status, c.Status) << run.Err;
    if (c.Err.empty()) {
      EXPECT_EQ(run.Err, "");
    } else {
      EXPECT_TRUE(std::regex_search(run.Err, std::regex(c.Err))) << run.Err;
    }
    EXPECT_EQ(RunScript(dir, c.Check).Status, 0) << c.Check;
  }
}

// Every damaged file that the reader refuses gets the same message, after its name, and
// status 1, and leaves no output behind.
TEST_F(ResourceCli, EachDamagedFileGetsItsMessage) {
  TScratchDir dir;
  for (const TDamage& d : Damages()) {
    if (d.find == "none") continue;
    SCOPED_TRACE(d.name);
    std::vector<uint8_t> file = Executable(d.exe);
    d.damage(file, LayoutOf(file));
    WriteFile(dir / "damaged.exe", file);
    const TChildRun run = RunScript(dir, "$PACK -x damaged.exe out");
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "lumera-pack: damaged.exe: " + d.find + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
  }
}

}  // namespace
}  // namespace lumera
