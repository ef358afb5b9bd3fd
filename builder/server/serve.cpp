#include "builder/server/serve.h"

#include <fmt/format.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <ctime>
#include <memory>
#include <optional>
#include <ostream>
#include <thread>

#include "builder/server/page_server.h"
#include "builder/server/port_number.h"
#include "builder/server/text_view.h"
#include "scenario/file_system.h"
#include "viewer/route_page.h"

namespace builder {

namespace {

// How often the texts' modification times are looked at. A save shows on the
// page within this and the time of a compile, and the look costs two file
// status calls: no watching service of the system is needed, which keeps
// it the same on every system and under Wine.
constexpr auto poll_interval = std::chrono::milliseconds(50);

volatile std::sig_atomic_t interrupted = 0;

extern "C" void on_interrupt(int) { interrupted = 1; }

// Ctrl-C (and a request to terminate) ends the serving at the next look at
// the texts, while the handlers are in place.
class interrupt_handlers {
 public:
  interrupt_handlers() {
    interrupted = 0;
    previous_interrupt_ = std::signal(SIGINT, on_interrupt);
    previous_terminate_ = std::signal(SIGTERM, on_interrupt);
  }
  ~interrupt_handlers() {
    std::signal(SIGINT, previous_interrupt_);
    std::signal(SIGTERM, previous_terminate_);
  }
  interrupt_handlers(const interrupt_handlers&) = delete;
  interrupt_handlers& operator=(const interrupt_handlers&) = delete;

 private:
  void (*previous_interrupt_)(int);
  void (*previous_terminate_)(int);
};

struct text_stamps {
  std::optional<scenario::file_stamp> line;
  std::optional<scenario::file_stamp> service;

  friend bool operator==(const text_stamps&, const text_stamps&) = default;
};

text_stamps stamps_of(const compiler::text_sources& sources) {
  return {scenario::stamp_of(sources.line_text), scenario::stamp_of(sources.service_text)};
}

std::string clock_now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return fmt::format("{:02}:{:02}:{:02}", local.tm_hour, local.tm_min, local.tm_sec);
}

// The builds of one serving, and what the page shows of them.
class live_builds {
 public:
  live_builds(const compiler::text_sources& sources, page_server& server, std::ostream& out)
      : sources_(sources), server_(server), out_(out) {
    // A build's name is unique across servings too, so that a page left open
    // while the server was started again still sees that it is out of date.
    started_ms_ = std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
                   .count();
  }

  // Compiles the texts as they are now and serves their page. A failure
  // says why a text could not be read; the page served stays as it was.
  scenario::status rebuild() {
    auto build = std::make_shared<text_build>();
    ++count_;
    const std::string name = fmt::format("{}-{}", started_ms_, count_);
    if (const scenario::status built = build_texts(sources_, *build); !built) {
      return scenario::status::failure(
          fmt::format("build {} at {}: {}", count_, clock_now(), built.describe()));
    }
    viewer::page_parts parts = page_of(*build, last_clean_.get());
    parts.live_build = name;
    server_.publish(name, viewer::route_page(parts));
    out_ << fmt::format("build {} at {}: {}", count_, clock_now(), summary(*build)) << std::endl;
    if (build->clean()) last_clean_ = std::move(build);
    return {};
  }

 private:
  static std::string summary(const text_build& build) {
    std::size_t errors = 0;
    for (const auto& d : build.notes.diagnostics) {
      errors += d.report.level == compiler::severity::error ? 1 : 0;
    }
    const std::size_t warnings = build.notes.diagnostics.size() - errors;
    std::string words = fmt::format("{} error{}, {} warning{}", errors, errors == 1 ? "" : "s",
                                    warnings, warnings == 1 ? "" : "s");
    if (!build.view) words += "; nothing to draw";
    for (const auto& d : build.notes.diagnostics) {
      if (d.report.level != compiler::severity::error) continue;
      // The report's first line: the row under it is on the page.
      const std::string report = compiler::format_diagnostic(d.report);
      words += "; first: " + report.substr(0, report.find('\n'));
      break;
    }
    return words;
  }

  const compiler::text_sources& sources_;
  page_server& server_;
  std::ostream& out_;
  std::int64_t started_ms_ = 0;
  std::uint64_t count_ = 0;
  std::shared_ptr<const text_build> last_clean_;
};

}  // namespace

exit_status run_serve_command(const serve_options& options, std::ostream& out, std::ostream& err) {
  // The names are told once, as `compile` tells them, and held for every
  // build of the serving.
  compiler::text_sources sources{options.line_text, options.service_text, {}, {}};
  if (!options.route.empty()) sources.route = options.route;
  if (!options.train.empty()) sources.train = options.train;
  std::string route;
  std::string train;
  if (const scenario::status named = compiler::name_the_build(sources, route, train); !named) {
    err << "scenario-builder: " << named.describe() << '\n';
    return exit_status::usage_or_file;
  }
  sources.route = route;
  sources.train = train;
  const std::optional<int> port = port_from_text(options.port);
  if (!port) {
    err << "scenario-builder: " << port_usage << '\n';
    return exit_status::usage_or_file;
  }
  page_server server;
  if (const scenario::status listening = server.listen(*port); !listening) {
    err << "scenario-builder: " << listening.describe() << '\n';
    return exit_status::usage_or_file;
  }
  const interrupt_handlers handlers;
  live_builds builds(sources, server, out);
  text_stamps seen = stamps_of(sources);
  // Texts that cannot be read at the start are a mistake in the command,
  // not a save caught half-way.
  if (const scenario::status built = builds.rebuild(); !built) {
    err << "scenario-builder: " << built.describe() << '\n';
    return exit_status::usage_or_file;
  }
  server.start();
  out << fmt::format("serving the page of {} and {} at http://127.0.0.1:{}/ (Ctrl-C to stop)",
                     sources.line_text.string(), sources.service_text.string(), server.port())
      << std::endl;

  while (interrupted == 0) {
    std::this_thread::sleep_for(poll_interval);
    const text_stamps now = stamps_of(sources);
    if (now == seen) continue;
    seen = now;
    // A text caught between two writes of an editor: the next save is
    // taken up.
    if (const scenario::status built = builds.rebuild(); !built) {
      out << built.describe() << std::endl;
    }
  }
  server.stop();
  out << "stopped" << std::endl;
  return exit_status::clean;
}

}  // namespace builder
