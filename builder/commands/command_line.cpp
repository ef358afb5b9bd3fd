#include "builder/commands/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string_view>
#include <utility>

#include "builder/commands/author_commands.h"
#include "builder/commands/explain.h"
#include "builder/commands/inspect.h"
#include "builder/commands/round_trip_commands.h"
#include "builder/server/serve.h"
#include "builder/version_text.h"
#include "builder/commands/view.h"

namespace builder {

namespace {

constexpr std::string_view program_name = "scenario-builder";

constexpr std::string_view exit_status_help =
    "Exit status:\n"
    "  0  clean: no error recorded (warnings do not count)\n"
    "  1  usage error; a file that could not be read, written or deleted; an input\n"
    "     that is not a regular file or is too large; an output over an input or over\n"
    "     someone's description text; the output folder held by another run; out of\n"
    "     memory (the message names it)\n"
    "  2  an error code was recorded; the binary files are written all the same;\n"
    "     decompile: the texts compile to other bytes; diff: the two differ\n"
    "  3  fatal error (1250, 1251, or the reading stopped before the line length was\n"
    "     known): no binary file written";

// Ends each subcommand's help: the statuses are the program's, listed once.
constexpr std::string_view exit_status_pointer = "Exit statuses: see 'scenario-builder --help'.";

// What a subcommand's action may use besides its own options.
struct context {
  const char* program;
  std::ostream& out;
  std::ostream& err;
  const notice_maker& make_notice;
};

using command_action = std::function<exit_status()>;

// Declares the subcommand's options on `sub` and returns its action; the
// options live as long as the action.
using command_definition = command_action (*)(CLI::App& sub, const context& ctx);

struct command {
  std::string_view name;
  std::string_view summary;
  command_definition define;
};

command_action define_build(CLI::App& sub, const context& ctx) {
  auto options = std::make_shared<build_options>();
  sub.add_option("--out", options->out,
                 "directory to build in, made when missing (default: the program's own "
                 "directory)")
      ->type_name("DIR");
  sub.add_flag("--no-plan", options->no_plan, "build without the track plan and its _linea.dat");
  sub.add_flag("--no-window", options->no_window,
               "say \"Attendere\" and report errors on the terminal, even on a desktop");
  sub.add_flag("--force", options->force,
               "replace description texts in DIR that differ from the embedded ones");
  return [options, ctx] { return run_build_command(*options, ctx.program, ctx.make_notice, ctx.out, ctx.err);
  };
}

// The two texts `compile` and `serve` take, and the names the files would
// otherwise take from the texts' names.
template <typename options_type>
void add_author_texts(CLI::App& sub, options_type& options) {
  sub.add_option("LINE_TEXT", options.line_text, "the line description text (ROUTE_linea.txt)")
      ->required();
  sub.add_option("SERVICE_TEXT", options.service_text,
                 "the service description text (ROUTE_TRAIN-.txt)")
      ->required();
  sub.add_option("--route", options.route,
                 "route base name (default: LINE_TEXT's name less _linea.txt)")
      ->type_name("NAME");
  sub.add_option("--train", options.train,
                 "train number, 1 to 8 letters or digits (default: from SERVICE_TEXT's name "
                 "ROUTE_TRAIN-.txt)")
      ->type_name("NUMBER");
}

command_action define_compile(CLI::App& sub, const context& ctx) {
  auto options = std::make_shared<compile_options>();
  add_author_texts(sub, *options);
  sub.add_option("--out", options->out,
                 "directory for the binary files, made when missing (default: .)")
      ->type_name("DIR");
  sub.add_flag("--no-plan", options->no_plan, "compile without the track plan and its _linea.dat");
  sub.add_flag("--dry-run", options->dry_run, "compile and report, but write nothing");
  sub.add_flag("--json", options->json, "report errors and warnings as a JSON array on stdout");
  sub.add_flag("--strict", options->strict,
               "fail on warnings too: any warning makes the exit status 2");
  return [options, ctx] { return run_compile_command(*options, ctx.out, ctx.err); };
}

command_action define_export(CLI::App& sub, const context& ctx) {
  auto options = std::make_shared<export_options>();
  sub.add_option("--out", options->out,
                 "directory to write the two texts in, made when missing (default: .)")
      ->type_name("DIR");
  sub.add_flag("--force", options->force, "replace texts of the same names");
  return [options, ctx] { return run_export_command(*options, ctx.out, ctx.err); };
}

command_action define_inspect(CLI::App& sub, const context& ctx) {
  auto options = std::make_shared<inspect_options>();
  sub.add_option("FILE", options->files,
                 "ROUTE_linea.dat (track plan), ROUTE_TRAIN.sim (scenario table) or "
                 "ROUTE_TRAIN.dat (cell grid)")
      ->required();
  sub.add_flag("--json", options->json, "print JSON instead of tables");
  sub.add_option("--cells", options->cells, "grid cells to show, such as 180..190")
      ->type_name("A..B");
  sub.add_option("--kind", options->kind,
                 "only grid cells of this kind: a number or a name such as signal, station")
      ->type_name("K");
  sub.add_option("--slots", options->slots, "table slots to show, such as 80..86")
      ->type_name("A..B");
  sub.add_flag("--objects", options->objects, "only grid cells that hold an object");
  sub.add_flag("--csv", options->csv,
               "grid cells as comma-separated values: distance, kind, speed, gradient, adhesion, "
               "elevation");
  sub.add_option("--source", options->source,
                 "the line and service texts of the grid: each cell names the text line that "
                 "put its object there")
      ->expected(2)
      ->type_name("LINE_TEXT SERVICE_TEXT");
  return [options, ctx] { return run_inspect_command(*options, ctx.out, ctx.err); };
}

command_action define_explain(CLI::App& sub, const context& ctx) {
  auto code = std::make_shared<std::string>();
  CLI::Option* given = sub.add_option(
      "CODE", *code, "an error code or a warning's name; without one, every one is listed");
  return [code, given, ctx] {
    return run_explain_command(given->count() > 0 ? std::optional(*code) : std::nullopt, ctx.out,
                               ctx.err);
  };
}

command_action define_view(CLI::App& sub, const context& ctx) {
  auto options = std::make_shared<view_options>();
  CLI::Option* line = sub.add_option(
      "LINE_TEXT", options->line_text,
      "a line description text: compile it with SERVICE_TEXT in memory and show that");
  CLI::Option* service =
      sub.add_option("SERVICE_TEXT", options->service_text, "the service description text");
  // Checked by hand rather than declared, which would write the rule into
  // the help where the completion and the manual page read the options.
  CLI::Option* dir =
      sub.add_option("--dir", options->dir, "directory of the build's files (default: .)")
          ->type_name("DIR");
  sub.add_option("--route", options->route,
                 "route base name (default: from LINE_TEXT's name, or the one build in DIR)")
      ->type_name("NAME");
  sub.add_option("--train", options->train,
                 "train number (default: from SERVICE_TEXT's name, or the one build in DIR)")
      ->type_name("NUMBER");
  sub.add_option("-o,--output", options->page,
                 "the page to write, its folder made when missing (default: ROUTE_TRAIN.html "
                 "beside LINE_TEXT, or in DIR)")
      ->type_name("PAGE.html");
  return [options, line, service, dir, ctx] {
    if (line->count() != service->count()) {
      ctx.err << program_name << ": view takes both texts, LINE_TEXT and SERVICE_TEXT, or none\n";
      return exit_status::usage_or_file;
    }
    if (line->count() > 0 && dir->count() > 0) {
      ctx.err << program_name << ": view takes the texts or --dir, not both\n";
      return exit_status::usage_or_file;
    }
    return run_view_command(*options, ctx.out, ctx.err);
  };
}

command_action define_serve(CLI::App& sub, const context& ctx) {
  auto options = std::make_shared<serve_options>();
  add_author_texts(sub, *options);
  // Read as text: a number reader would take "0x50" for port 80.
  sub.add_option("--port", options->port,
                 "port on 127.0.0.1 to serve on (default: 8080; 0: any free port)")
      ->type_name("N");
  return [options, ctx] { return run_serve_command(*options, ctx.out, ctx.err); };
}

// Where the build's files are: --dir with the names, or the files themselves.
void add_build_place(CLI::App& sub, build_place& place) {
  sub.add_option("FILE", place.files,
                 "the build's files, instead of --dir: ROUTE_TRAIN.dat, ROUTE_TRAIN.sim and, "
                 "when there is one, ROUTE_linea.dat");
  sub.add_option("--dir", place.dir, "directory of the build's files (default: .)")
      ->type_name("DIR");
  sub.add_option("--route", place.route,
                 "route base name (default: the one build in DIR)")
      ->type_name("NAME");
  sub.add_option("--train", place.train, "train number (default: the one build in DIR)")
      ->type_name("NUMBER");
}

command_action define_decompile(CLI::App& sub, const context& ctx) {
  auto options = std::make_shared<decompile_options>();
  add_build_place(sub, options->build);
  sub.add_option("--out", options->out,
                 "directory for the two texts, made when missing (default: .)")
      ->type_name("DIR");
  sub.add_flag("--force", options->force, "replace texts of the same names");
  return [options, ctx] { return run_decompile_command(*options, ctx.out, ctx.err); };
}

command_action define_diff(CLI::App& sub, const context& ctx) {
  auto options = std::make_shared<diff_options>();
  sub.add_option("OLD_NEW", options->sides,
                 "OLD_DIR NEW_DIR, two build folders; or OLD_LINE OLD_SERVICE NEW_LINE "
                 "NEW_SERVICE, two pairs of texts")
      ->required();
  sub.add_option("--route", options->route,
                 "route base name, where a folder holds more than one build")
      ->type_name("NAME");
  sub.add_option("--train", options->train,
                 "train number, where a folder holds more than one build")
      ->type_name("NUMBER");
  sub.add_flag("--json", options->json, "print the changes as a JSON array");
  return [options, ctx] { return run_diff_command(*options, ctx.out, ctx.err); };
}

command_action define_summary(CLI::App& sub, const context& ctx) {
  auto options = std::make_shared<summary_options>();
  sub.add_option("TEXTS", options->texts,
                 "LINE_TEXT SERVICE_TEXT: the summary of these texts, compiled in memory, "
                 "instead of a build's files");
  sub.add_option("--dir", options->build.dir, "directory of the build's files (default: .)")
      ->type_name("DIR");
  sub.add_option("--route", options->build.route,
                 "route base name (default: the one build in DIR)")
      ->type_name("NAME");
  sub.add_option("--train", options->build.train, "train number (default: the one build in DIR)")
      ->type_name("NUMBER");
  sub.add_flag("--json", options->json, "print the summary as JSON");
  return [options, ctx] { return run_summary_command(*options, ctx.out, ctx.err); };
}

// Every subcommand; a new one is one more entry here.
constexpr std::array<command, 10> commands = {{
    {"build", "build the embedded scenario, as with no arguments", define_build},
    {"compile", "compile your own line and service texts into the three binary files",
     define_compile},
    {"export-sources", "write the embedded texts as a starting point for a new scenario",
     define_export},
    {"inspect", "decode binary files of a build into tables or JSON", define_inspect},
    {"explain", "what an error code or a warning means, what raises it and the usual fix",
     define_explain},
    {"view", "write a build, from its binary files or its texts, as one HTML page to look at",
     define_view},
    {"serve", "serve the page of your texts on this machine, rebuilt whenever you save them",
     define_serve},
    {"decompile", "write the two texts that compile to a build's binary files, and check them",
     define_decompile},
    {"diff", "what changed between two builds, or two pairs of texts, by what they mean",
     define_diff},
    {"summary", "a build or a pair of texts on one screen", define_summary},
}};

}  // namespace

exit_status run_command_line(const std::vector<std::string>& args, const char* program,
                             std::ostream& out, std::ostream& err, const notice_maker& make_notice) {
  CLI::App app{
      "Compiles train-driving scenarios. Without arguments, builds the scenario it "
      "carries in its own directory.",
      std::string(program_name)};
  app.set_version_flag("--version", SCENARIO_BUILDER_VERSION);
  // Alone, --no-window is the build without arguments on the terminal; a
  // subcommand is needed for anything else.
  build_options bare_build;
  app.add_flag("--no-window", bare_build.no_window,
               "with no subcommand: the embedded build, with its notice on the terminal");
  app.require_subcommand(0, 1);
  app.footer(std::string(exit_status_help));

  const context ctx{program, out, err, make_notice};
  std::vector<std::pair<CLI::App*, command_action>> actions;
  for (const command& c : commands) {
    CLI::App* sub = app.add_subcommand(std::string(c.name), std::string(c.summary));
    sub->footer(std::string(exit_status_pointer));
    actions.emplace_back(sub, c.define(*sub, ctx));
  }

  // A word where the subcommand belongs is named as such, rather than left to
  // the parser's more general complaint.
  if (!args.empty() && !args.front().starts_with('-') &&
      std::none_of(commands.begin(), commands.end(),
                   [&](const command& c) { return c.name == args.front(); })) {
    err << program_name << ": unknown subcommand '" << args.front() << "'\n"
        << "run '" << program_name << " --help' for the list\n";
    return exit_status::usage_or_file;
  }

  try {
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::Success& done) {
    app.exit(done, out, err);  // --help or --version
    return exit_status::clean;
  } catch (const CLI::ParseError& failure) {
    err << program_name << ": " << failure.what() << '\n'
        << "run '" << program_name << " --help', or '" << program_name
        << " SUBCOMMAND --help', for usage\n";
    return exit_status::usage_or_file;
  }
  for (const auto& [sub, action] : actions) {
    if (sub->parsed()) return action();
  }
  if (bare_build.no_window) return run_build_command(bare_build, program, make_notice, out, err);
  err << program_name << ": A subcommand is required\n"
      << "run '" << program_name << " --help' for the list\n";
  return exit_status::usage_or_file;
}

}  // namespace builder
