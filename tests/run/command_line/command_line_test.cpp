#include <gtest/gtest.h>

#include "run/command_line/command_line.h"
#include "run/plan/run_plan_text.h"

namespace koravane {
namespace {

std::vector<std::u16string> arguments_of(std::u16string_view line) {
  return split_command_line(line).arguments;
}

using Units = std::vector<std::u16string>;

TEST(SplitCommandLine, ProgramNameQuotesToggleAndBackslashesAreLiteral) {
  EXPECT_EQ(split_command_line(uR"("C:\Program Files\KV\Uninstall.exe" a)").program,
            uR"(C:\Program Files\KV\Uninstall.exe)");
  // A quote in the middle toggles; a backslash before it does not escape it.
  EXPECT_EQ(split_command_line(uR"(C:\a" b\"c d)").program, uR"(C:\a b\c)");
  EXPECT_EQ(split_command_line(uR"(C:\a" b\"c d)").arguments, Units{u"d"});
  EXPECT_EQ(split_command_line(u"prog\t \targ").arguments, Units{u"arg"});
  EXPECT_EQ(split_command_line(u"").program, u"");
  EXPECT_TRUE(split_command_line(u"").arguments.empty());
  EXPECT_TRUE(split_command_line(u"prog   ").arguments.empty());
}

TEST(SplitCommandLine, BackslashesBeforeQuotes) {
  // 2n backslashes + quote: n backslashes, the quote toggles quoting.
  EXPECT_EQ(arguments_of(uR"(p a\\"b c"d)"), Units{uR"(a\b cd)"});
  // 2n+1 backslashes + quote: n backslashes and a literal quote.
  EXPECT_EQ(arguments_of(uR"(p a\\\"b c)"), (Units{uR"(a\"b)", u"c"}));
  EXPECT_EQ(arguments_of(uR"(p \"x\")"), Units{uR"("x")"});
  // Backslashes not followed by a quote are literal.
  EXPECT_EQ(arguments_of(uR"(p a\\b\c\\ d)"), (Units{uR"(a\\b\c\\)", u"d"}));
  EXPECT_EQ(arguments_of(uR"(p "C:\dir\\")"), Units{uR"(C:\dir\)"});
}

TEST(SplitCommandLine, QuotingAndEmptyArguments) {
  EXPECT_EQ(arguments_of(u"p \"a b\"\tc"), (Units{u"a b", u"c"}));
  EXPECT_EQ(arguments_of(u"p \"a\tb\""), Units{u"a\tb"});
  // "" inside quotes is a literal quote and quoting goes on.
  EXPECT_EQ(arguments_of(uR"(p "a""b c" d)"), (Units{uR"(a"b c)", u"d"}));
  // A quoted empty string standing alone is an empty argument.
  EXPECT_EQ(arguments_of(uR"(p "" x "")"), (Units{u"", u"x", u""}));
  // Outside quotes "" just opens and closes quoting.
  EXPECT_EQ(arguments_of(uR"(p a""b)"), Units{u"ab"});
  // An unterminated quote runs to the end.
  EXPECT_EQ(arguments_of(uR"(p "a b)"), Units{u"a b"});
}

// The line is a view: what lies beyond its end (here the rest of a longer text) is never read.
TEST(SplitCommandLine, NothingBeyondTheViewCounts) {
  const std::u16string_view text = uR"(p a\\b "c""d e\\)";
  const struct {
    size_t length;
    Units arguments;
  } cases[] = {
      {4, Units{uR"(a\)"}},     // a backslash run ends with the view
      {10, Units{u"a\\\\b", u"c"}},  // a closing quote at the end is not doubled by what follows
      {1, Units{}},
      {2, Units{}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(arguments_of(text.substr(0, c.length)), c.arguments) << c.length;
  }
}

LaunchOptions parse(std::vector<std::string> arguments) { return parse_launch_options(arguments); }

TEST(LaunchOptions, DefaultsWithoutArguments) {
  const LaunchOptions o = parse({});
  EXPECT_FALSE(o.quiet);
  EXPECT_FALSE(o.headless);
  EXPECT_EQ(o.api_base, kDefaultApiBase);
  EXPECT_TRUE(o.api_base.starts_with("https://"));
  EXPECT_EQ(o.current_version, "0.0.0");
  EXPECT_EQ(o.target, "");
  EXPECT_EQ(o.process_start, "");
  EXPECT_TRUE(o.process_start_arguments.empty());
  EXPECT_EQ(o.wait_pid, 0u);
}

TEST(LaunchOptions, QuietFlagsAreExactAndCaseSensitive) {
  EXPECT_TRUE(parse({"x", "/S", "y"}).quiet);
  EXPECT_TRUE(parse({"--quiet"}).quiet);
  for (const char* ignored : {"/s", "-quiet", "--Quiet", "--quiet=", " /S", "/S "}) {
    EXPECT_FALSE(parse({ignored}).quiet) << ignored;
  }
  const LaunchOptions headless = parse({"--headless"});
  EXPECT_TRUE(headless.headless);
  EXPECT_FALSE(headless.quiet);
}

TEST(LaunchOptions, ValueRowsConsumeTheNextArgumentWhateverItIs) {
  const LaunchOptions api = parse({"--api", "/S"});
  EXPECT_EQ(api.api_base, "/S");
  EXPECT_FALSE(api.quiet);
  EXPECT_EQ(parse({"--target", "--quiet"}).target, "--quiet");
  EXPECT_FALSE(parse({"--target", "--quiet"}).quiet);
  EXPECT_EQ(parse({"--apply-pending", "a", "--update-job", "j"}).apply_pending, "a");
  EXPECT_EQ(parse({"--apply-pending", "a", "--update-job", "j"}).update_job, "j");
  EXPECT_EQ(parse({"--current", "1.2.3"}).current_version, "1.2.3");
  EXPECT_EQ(parse({"--processStart", "Game.exe"}).process_start, "Game.exe");
}

TEST(LaunchOptions, PrefixRowsTakeTheRestWhichMayBeEmpty) {
  EXPECT_EQ(parse({"--api=https://x"}).api_base, "https://x");
  EXPECT_EQ(parse({"--api="}).api_base, "");
  EXPECT_EQ(parse({"--current="}).current_version, "");
  EXPECT_EQ(parse({"--apply-pending=p=q"}).apply_pending, "p=q");
  EXPECT_EQ(parse({"--update-job=7"}).update_job, "7");
  EXPECT_EQ(parse({"--processStart=Game.exe"}).process_start, "Game.exe");
  EXPECT_EQ(parse({"--target=C:\\a\\b.exe"}).target, "C:\\a\\b.exe");
  EXPECT_EQ(parse({"--wait-pid=12"}).wait_pid, 12u);
  // The prefix row does not swallow the next argument.
  EXPECT_TRUE(parse({"--target=", "/S"}).quiet);
}

TEST(LaunchOptions, MissingValuesTakeTheirDefaults) {
  EXPECT_EQ(parse({"--api=x", "--api"}).api_base, kDefaultApiBase);
  EXPECT_EQ(parse({"--current=9", "--current"}).current_version, "0.0.0");
  EXPECT_EQ(parse({"--processStart"}).process_start, "KoraVane.exe");
  EXPECT_EQ(parse({"--target=a\\b", "--target"}).target, "");
  EXPECT_EQ(parse({"--apply-pending=a", "--apply-pending"}).apply_pending, "");
  EXPECT_EQ(parse({"--update-job=a", "--update-job"}).update_job, "");
  EXPECT_EQ(parse({"--wait-pid=5", "--wait-pid"}).wait_pid, 0u);
  EXPECT_TRUE(parse({"--process-start-args=a b", "--process-start-args"}).process_start_arguments.empty());
}

TEST(LaunchOptions, LastOneWins) {
  EXPECT_EQ(parse({"--target", "a\\x", "--target=b\\y"}).target, "b\\y");
  EXPECT_EQ(parse({"--wait-pid=1", "--wait-pid", "2"}).wait_pid, 2u);
  EXPECT_EQ(parse({"--wait-pid=1", "--wait-pid=abc"}).wait_pid, 0u);
}

TEST(LaunchOptions, WaitPidAcceptsOnlyUnsigned32BitDecimal) {
  EXPECT_EQ(parse_wait_pid("1234"), 1234u);
  EXPECT_EQ(parse_wait_pid("+7"), 7u);
  EXPECT_EQ(parse_wait_pid("007"), 7u);
  EXPECT_EQ(parse_wait_pid("4294967295"), 4294967295u);
  for (const char* bad : {"4294967296", "4294967297", "5000000000", "99999999999999999999", "abc", "-1", "+", "", " 1", "1 ",
                          "++1", "1a", "0x10"}) {
    EXPECT_EQ(parse_wait_pid(bad), 0u) << bad;
  }
  EXPECT_EQ(parse({"--wait-pid", "+42"}).wait_pid, 42u);
  EXPECT_EQ(parse({"--wait-pid=-1"}).wait_pid, 0u);
}

TEST(LaunchOptions, TargetIsCleanedOfWhiteSpaceThenDoubleThenSingleQuotes) {
  EXPECT_EQ(clean_target("'C:\\Games\\Launcher\\app-1.5.84\\KoraVane.exe'"),
            "C:\\Games\\Launcher\\app-1.5.84\\KoraVane.exe");
  EXPECT_EQ(clean_target(" \t\"C:\\a b\"\u00A0"), "C:\\a b");
  EXPECT_EQ(clean_target("\u3000\"'x'\"\u2029"), "x");
  EXPECT_EQ(clean_target("\"\"x\"\"\""), "x");
  // Quotes are stripped in one order only: double ones first, so '"x"' keeps its inner quotes.
  EXPECT_EQ(clean_target("'\"x\"'"), "\"x\"");
  // White space inside the quotes is no longer at the ends when it is trimmed.
  EXPECT_EQ(clean_target("\" x \""), " x ");
  EXPECT_EQ(clean_target("a'b\"c"), "a'b\"c");
  EXPECT_EQ(clean_target("  "), "");
  EXPECT_EQ(parse({"--target= 'C:\\x\\y.exe' "}).target, "C:\\x\\y.exe");
}

TEST(LaunchOptions, ProcessStartArgumentsSplitAtWhiteSpaceRuns) {
  using Pieces = std::vector<std::string>;
  EXPECT_EQ(split_at_white_space("  a  b\t\u00A0c\u2003"), (Pieces{"a", "b", "c"}));
  EXPECT_EQ(split_at_white_space("\"a b\" 'c'"), (Pieces{"\"a", "b\"", "'c'"}));
  EXPECT_EQ(split_at_white_space("Привет\u3000мир"), (Pieces{"Привет", "мир"}));
  EXPECT_TRUE(split_at_white_space(" \t ").empty());
  EXPECT_EQ(parse({"--process-start-args", "--x  y"}).process_start_arguments, (Pieces{"--x", "y"}));
}

TEST(LaunchOptions, FromTheFullCommandLine) {
  const LaunchOptions o = launch_options_from_command_line(
      uR"("C:\KV\Uninstall.exe" --api /S --target "C:\Игры\app-1\KoraVane.exe" --wait-pid=+9)");
  EXPECT_FALSE(o.quiet);
  EXPECT_EQ(o.api_base, "/S");
  EXPECT_EQ(o.target, "C:\\Игры\\app-1\\KoraVane.exe");
  EXPECT_EQ(o.wait_pid, 9u);
  EXPECT_TRUE(launch_options_from_command_line(u"Uninstall.exe x /S").quiet);
  // The program name is never parsed as an option.
  EXPECT_FALSE(launch_options_from_command_line(u"/S").quiet);
  EXPECT_FALSE(launch_options_from_command_line(u"").quiet);
}

TEST(LaunchOptions, UnpairedSurrogatesBecomeReplacementCharacters) {
  std::u16string line = u"p --target=C:\\a";
  line += char16_t(0xD800);
  line += u"b\\c.exe --quiet --current=";
  line += char16_t(0xDC00);
  const LaunchOptions o = launch_options_from_command_line(line);
  EXPECT_EQ(o.target, "C:\\a\uFFFDb\\c.exe");
  EXPECT_EQ(o.current_version, "\uFFFD");
  EXPECT_TRUE(o.quiet);
}

TEST(StartLine, NamesTheFixedVersionQuietFlagAndRoot) {
  EXPECT_EQ(start_line(false, "C:\\Games\\Launcher"),
            "Uninstall 1.5.84 start quiet=false root=C:\\Games\\Launcher");
  EXPECT_EQ(start_line(true, ""), "Uninstall 1.5.84 start quiet=true root=");
  // The root is lossless system text; the line shows an unpaired surrogate as U+FFFD.
  EXPECT_EQ(start_line(true, "C:\\Пользователи\\\xED\xA0\x80"),
            "Uninstall 1.5.84 start quiet=true root=C:\\Пользователи\\\uFFFD");
}

// The start line keeps the root's spelling; what it stands for follows only when it names another
// place (case and separators do not make one).
TEST(StartLine, TheRootsFinalPathFollowsWhenItsSpellingStandsForAnotherPlace) {
  const auto lines = [](std::string path, std::string absolute, std::string final) {
    return opening_lines(true, InstallRoot{path, absolute, final, RootSource::executable_folder,
                                           LauncherEvidence::markers});
  };
  const std::string start = "Uninstall 1.5.84 start quiet=true root=";
  using Lines = std::vector<std::string>;
  EXPECT_EQ(lines("C:\\Games\\KORAVA~1", "C:\\Games\\KORAVA~1", "C:\\Games\\KoraVane Лаунчер"),
            (Lines{start + "C:\\Games\\KORAVA~1", "root is C:\\Games\\KoraVane Лаунчер"}));
  EXPECT_EQ(lines("Games", "C:\\Work\\Games", "D:\\Games"), (Lines{start + "Games", "root is D:\\Games"}));
  EXPECT_EQ(lines("c:/games/koravane/", "c:\\games\\koravane\\", "C:\\Games\\KoraVane"),
            (Lines{start + "c:/games/koravane/"}));
  EXPECT_EQ(lines("Games", "C:\\Work\\Games", "C:\\Work\\Games"), (Lines{start + "Games"}));
}

// The kept line names the root as the start line does, and beside it the final path wherever the
// spelling alone would not name that folder to a later run.
TEST(WayBackLine, TheFinalPathFollowsWhereTheSpellingStandsForAnotherPlace) {
  const std::string kept = "kept the uninstall registration for a second run: root=";
  EXPECT_EQ(way_back_line("C:\\Games\\KoraVane", "C:\\Games\\KoraVane"), kept + "C:\\Games\\KoraVane");
  EXPECT_EQ(way_back_line("c:/games/koravane/", "C:\\Games\\KoraVane"), kept + "c:/games/koravane/");
  EXPECT_EQ(way_back_line("C:\\GAMES~1\\KORAVA~1", "C:\\Games\\KoraVane Лаунчер"),
            kept + "C:\\GAMES~1\\KORAVA~1 final=C:\\Games\\KoraVane Лаунчер");
  EXPECT_EQ(way_back_line("", "C:\\Work"), kept + " final=C:\\Work");
  EXPECT_EQ(way_back_line("C:\\Games\\KoraVane"), kept + "C:\\Games\\KoraVane");
  using Roots = std::vector<std::string_view>;
  EXPECT_EQ(kept_line_roots("C:\\a"), (Roots{"C:\\a"}));
  EXPECT_EQ(kept_line_roots("K:\\x final=y final=C:\\b"), (Roots{"K:\\x final=y final=C:\\b", "K:\\x final=y", "C:\\b"}));
}

std::string notice_text(RemovalMode mode, const RemovalOutcome& outcome) {
  const NoticeMessage message = removal_notice(mode, outcome, "C:\\G");
  return message.before + message.path + message.after;
}

RemovalOutcome outcome_of(bool complete, bool way_back, bool others, StayedEntries stayed) {
  return RemovalOutcome{{}, complete, way_back, others, std::move(stayed)};
}

// The notice tells a removal that left files behind from one that took everything it should,
// names what stayed, and claims the game's files were kept only where there were any. Where
// programs hold what stayed, the texts are as they have always been.
TEST(RemovalNotice, SaysWhatWentAndWhatStayed) {
  const auto outcome = outcome_of;
  const std::string busy = "некоторые файлы заняты другими программами";
  const std::string again = " Закройте их и запустите удаление снова";
  struct Case {
    RemovalMode mode;
    RemovalOutcome outcome;
    std::string text;
  };
  const Case cases[] = {
      {RemovalMode::launcher_only, outcome(true, false, true, {}), "Лаунчер удалён. Файлы Minecraft в папке сохранены."},
      {RemovalMode::launcher_only, outcome(true, false, false, {}), "Лаунчер удалён."},
      {RemovalMode::full, outcome(true, false, false, {}), "Удалено всё в папке установки."},
      {RemovalMode::launcher_only, outcome(false, false, true, {}), "Лаунчер удалён не полностью: " + busy + "."},
      {RemovalMode::full, outcome(false, false, false, {}),
       "Удалено не всё: " + busy + " и остались в папке установки."},
      // Files of the root stayed: the person is told how to finish, whatever else went.
      {RemovalMode::launcher_only, outcome(true, true, true, {}), "Лаунчер удалён не полностью: " + busy + "." + again + "."},
      {RemovalMode::full, outcome(false, true, false, {}),
       "Удалено не всё: " + busy + "." + again + ", чтобы удалить остальное."},
      // The first that stayed is named, the rest counted.
      {RemovalMode::full, outcome(false, true, false, {{"C:\\G\\saves\\w\\session.lock", 32}}),
       "Удалено не всё: " + busy + ". Осталось: «C:\\G\\saves\\w\\session.lock»." + again + ", чтобы удалить остальное."},
      {RemovalMode::launcher_only, outcome(false, true, true, {{"C:\\G\\app-1\\a.dll", 32}, {"C:\\G\\updates\\b", 32}, {"C:\\G\\x", 32}}),
       "Лаунчер удалён не полностью: " + busy + ". Осталось: «C:\\G\\app-1\\a.dll» и ещё 2." + again + "."},
      {RemovalMode::full, outcome(false, false, false, {{"C:\\S\\koravane-launcher\\a", 32}, {"C:\\G\\b", 32}}),
       "Удалено не всё: " + busy + " и остались в папке установки. Осталось: «C:\\S\\koravane-launcher\\a» и ещё 1."},
  };
  for (const Case& c : cases) EXPECT_EQ(notice_text(c.mode, c.outcome), c.text);
  // The path is the part a notice may shorten, keeping the root's name.
  const NoticeMessage message = removal_notice(RemovalMode::full, outcome(false, true, false, {{"C:\\G\\y", 32}}), "C:\\G");
  EXPECT_EQ(message.path + "|" + message.root, "C:\\G\\y|C:\\G");
}

// Each reason in its own words, alone and beside others, and where the worlds went. The worlds the
// bin took follow any text; those it refused are told first, counted, among the reasons. A reason
// alone gets its advice and its own way to finish.
TEST(RemovalNotice, GivesTheReasonThatHolds) {
  const std::string first = "C:\\G\\a";
  const StayedEntry denied{first, 5}, held{first, 32}, link{first, 4390, true}, script{first, 206},
      world{first, 50, false, true}, other{first, 19};
  const auto outcome = [](std::vector<StayedEntry> stayed, uint64_t recycled = 0, bool way_back = true) {
    RemovalOutcome result = outcome_of(false, way_back, false, std::move(stayed));
    result.worlds_recycled = recycled;
    for (const StayedEntry& entry : result.stayed) result.worlds_kept += entry.world ? 1 : 0;
    return result;
  };
  const std::string full = "Удалено не всё. Осталось: «C:\\G\\a»", launcher = "Лаунчер удалён не полностью. Осталось: «C:\\G\\a»";
  struct Case {
    RemovalMode mode;
    RemovalOutcome outcome;
    std::string text;
  };
  const Case cases[] = {
      {RemovalMode::full, outcome({denied, denied}),
       full + " и ещё 1. К некоторым файлам и папкам нет доступа. Возможно, у вас нет прав на них. Получите доступ и запустите "
              "удаление снова."},
      {RemovalMode::full, outcome({denied}, 0, false),  // the settings folder, outside the way back
       full + ". К некоторым файлам и папкам нет доступа. Возможно, у вас нет прав на них."},
      {RemovalMode::launcher_only, outcome({link}),
       launcher + ". Ссылки остались; то, куда они ведут, цело. Удалите их вручную и запустите удаление снова."},
      {RemovalMode::full, outcome({script}),
       full + ". Длинные и необычные пути удалите вручную. Путь слишком длинный или в имени есть редкие знаки."},
      {RemovalMode::full, outcome({other}, 3), full + ". Запустите удаление снова. Миры\u00A0(3) перемещены в корзину."},
      {RemovalMode::full, outcome({world}, 2),
       full + ". Миры\u00A0(2) перемещены в корзину, миры\u00A0(1) корзина не приняла: они остались в папке. Перенесите "
              "их в другое место и запустите удаление снова."},
      {RemovalMode::full, outcome({held, denied, held}, 4),
       full + " и ещё 2. Часть файлов занята программами: закройте их. К некоторым файлам и папкам нет доступа. Запустите "
              "удаление снова. Миры\u00A0(4) перемещены в корзину."},
      {RemovalMode::full, outcome({script, link, world, other, held, denied}),
       full + " и ещё 5. Миры\u00A0(1) корзина не приняла: они остались в папке. Часть файлов занята программами: "
              "закройте их. К некоторым файлам и папкам нет доступа. Ссылки остались; то, куда они ведут, цело. Длинные и "
              "необычные пути удалите вручную. Запустите удаление снова."},
      {RemovalMode::launcher_only, outcome({denied, other}),
       launcher + " и ещё 1. К некоторым файлам и папкам нет доступа. Запустите удаление снова."},
  };
  for (const Case& c : cases) EXPECT_EQ(notice_text(c.mode, c.outcome), c.text);
  // Where even the shortest path leaves no room, briefer forms leave out the least important
  // reasons one by one, down to the worlds; a reason alone gives up its advice.
  const std::vector<std::string> briefer = removal_notice(RemovalMode::full, cases[7].outcome).briefer;
  ASSERT_EQ(briefer.size(), 4u);
  EXPECT_EQ(briefer.back(), "» и ещё 5. Миры\u00A0(1) корзина не приняла: они остались в папке. Запустите удаление снова.");
  EXPECT_EQ(removal_notice(RemovalMode::full, cases[0].outcome).briefer,
            std::vector<std::string>{"» и ещё 1. К некоторым файлам и папкам нет доступа. Получите доступ и запустите удаление снова."});
}

}  // namespace
}  // namespace koravane
