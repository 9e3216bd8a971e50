// lexora-handheld: the handheld's companion application, emulated. It serves the device end
// of the socket connectivity service, stores what it receives, and looks words up.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_codec.h"
#include "handheld/dictionary_store.h"
#include "handheld/handheld_server.h"
#include "handheld/listen_scope.h"
#include "handheld/password_file.h"
#include "handheld/serve_command_line.h"
#include "link/socket/default_device_address.h"
#include "link/socket/device_address.h"
#include "platform/program_version.h"

namespace {

using lexora::handheld::DictionaryStore;
using lexora::handheld::ServeOptions;

constexpr char kUsage[] =
    "usage:\n"
    "  lexora-handheld serve [--listen ADDR] [--allow-remote] [--store DIR]\n"
    "                        [--password-file FILE|-] [--attempts N] [--pin VALUE]\n"
    "                        [--max-connections N] [--idle-timeout S] [--max-memory MB]\n"
    "                        [fault options]\n"
    "  lexora-handheld list [--store DIR]\n"
    "  lexora-handheld lookup NAME WORD... [--store DIR]\n"
    "  lexora-handheld -h|--help | -V|--version\n"
    "\n"
    "ADDR is unix:PATH or HOST:PORT (port 0 picks a free one); the default is\n"
    "unix:$XDG_RUNTIME_DIR/lexora-handheld.sock (unix:/tmp/lexora-UID/handheld.sock, in a\n"
    "private folder, without XDG_RUNTIME_DIR). A HOST that is not a loopback address needs\n"
    "--allow-remote: the link is not encrypted. DIR defaults to\n"
    "$XDG_DATA_HOME/lexora-handheld. The password is the first line of FILE (- is standard\n"
    "input); without it no password is asked. A --pin that is not a number is announced as\n"
    "text. lookup prints each headword, a TAB and its definition.\n"
    "\n"
    "limits:\n"
    "  --max-connections N    serve at most N connections at once; more are turned away\n"
    "                         with a reason (default 32)\n"
    "  --idle-timeout S       close a connection that completes no frame (its greeting\n"
    "                         included) within S seconds (default 600)\n"
    "  --max-memory MB        refuse blocks beyond MB megabytes held across all\n"
    "                         connections (default 1024)\n"
    "\n"
    "fault options (for tests):\n"
    "  --no-device            announce no device\n"
    "  --two-devices          announce a second device, which has no Lexora channel\n"
    "  --refuse-writes        refuse every write (after --refuse-writes-after N accepted)\n"
    "  --no-ack               do not acknowledge\n"
    "  --ack-type T           acknowledge with type T instead of 100\n"
    "  --short-ack            send 2-byte acknowledgements\n"
    "  --long-ack             send acknowledgements one byte longer than announced\n"
    "  --fault-at K           apply the acknowledgement fault to the K-th only (from 1)\n"
    "  --fault-from K         apply it from the K-th on\n"
    "  --close-after K        close the channel on receiving the K-th message\n"
    "  --ack-delay MS         wait before each acknowledgement\n"
    "  --gather-end-flags N   hold each end flag until N connections hold one (at most\n"
    "                         10 s), then store their dictionaries at once\n"
    "  --predictable-temp-names\n"
    "                         name the store's temporary files .NAME.lxp.0, .1, ... in\n"
    "                         turn instead of at random\n";

// A wrong command line: one line saying what, and where the help is.
int usageError(const std::string& what) {
  std::cerr << "lexora-handheld: " << what << "\nTry 'lexora-handheld --help'.\n";
  return 2;
}

// --help and --version are answered wherever they stand, before anything else is read.
std::optional<int> helpOrVersion(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (a == "--version" || a == "-V") {
      std::cout << lexora::programVersionText("lexora-handheld");
      return 0;
    }
  }
  return std::nullopt;
}

int serveCommand(std::vector<std::string> args) {
  std::string error;
  auto line = lexora::handheld::parseServeCommandLine(args, error);
  if (!line) return usageError(error);
  ServeOptions& options = line->options;
  auto address = lexora::parseDeviceAddress(line->listen, error);
  if (!address) return usageError(error);
  options.listen = *address;
  if (!lexora::handheld::listensOnLoopbackOnly(options.listen)) {
    if (!line->allowRemote) {
      return usageError(options.listen.text() +
                        " is reachable from other machines; add --allow-remote to listen there");
    }
    std::cerr << "lexora-handheld: warning: listening on " << options.listen.text()
              << ", reachable from other machines; the link is not encrypted (dictionaries and "
                 "password answers cross the network as they are)\n";
  }
  if (line->passwordSource) {
    options.password = lexora::handheld::readPasswordFile(*line->passwordSource, error);
    if (!options.password) {
      std::cerr << "lexora-handheld: " << error << "\n";
      return 1;
    }
  }
  // The default address in /tmp lies in a folder of this user's own, so that nobody else
  // can listen there first; one that exists but is not private is not used.
  const auto tmpFolder = lexora::sharedTmpSocketFolder();
  if (options.listen.kind == lexora::DeviceAddress::Kind::Unix && tmpFolder &&
      std::filesystem::path(options.listen.path).parent_path() == *tmpFolder &&
      !lexora::preparePrivateFolder(*tmpFolder, error)) {
    std::cerr << "lexora-handheld: " << error << "\n";
    return 1;
  }
  return lexora::handheld::serve(options, line->faults);
}

// Splits off "--store DIR"; false when it lacks its value.
bool takeStore(std::vector<std::string>& args, std::filesystem::path& store) {
  store = DictionaryStore::defaultDirectory();
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--store") continue;
    if (i + 1 >= args.size()) return false;
    store = args[i + 1];
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
               args.begin() + static_cast<std::ptrdiff_t>(i + 2));
    --i;
  }
  return true;
}

// Output that did not reach its destination (a full disk, say) fails the command, even
// when only the final flush or close finds out.
int finishOutput(int status) {
  std::cout.flush();
  const bool written = std::cout && std::fflush(stdout) == 0 && !std::ferror(stdout);
  if (!written || close(STDOUT_FILENO) != 0) {
    std::cerr << "lexora-handheld: cannot write the standard output\n";
    return 1;
  }
  return status;
}

int listCommand(std::vector<std::string> args) {
  std::filesystem::path store;
  if (!takeStore(args, store)) return usageError("--store takes a folder");
  if (!args.empty()) return usageError("list: unexpected argument " + args[0]);
  std::string error;
  const auto entries = DictionaryStore(store).list(error);
  if (!entries) {
    std::cerr << "lexora-handheld: " << error << "\n";
    return 1;
  }
  int status = 0;
  for (const auto& entry : *entries) {
    if (!entry.error.empty()) {
      std::cerr << "lexora-handheld: " << entry.path.string() << ": " << entry.error << "\n";
      status = 1;
      continue;
    }
    std::cout << lexora::utf16ToUtf8(entry.name) << "\t" << entry.blocks << " blocks\t"
              << lexora::packedSize(entry.blockBytes) << " bytes\n";
  }
  return finishOutput(status);
}

int lookupCommand(std::vector<std::string> args) {
  std::filesystem::path store;
  if (!takeStore(args, store)) return usageError("--store takes a folder");
  if (args.size() < 2) return usageError("lookup needs a NAME and at least one WORD");
  std::string error;
  const std::vector<std::string> words(args.begin() + 1, args.end());
  const auto found = DictionaryStore(store).lookup(args[0], words, error);
  if (!found) {
    std::cerr << "lexora-handheld: no dictionary \"" << args[0] << "\": " << error << "\n";
    return 1;
  }
  int status = 0;
  for (size_t i = 0; i < words.size(); ++i) {
    const auto& [entry, damage] = (*found)[i];
    if (entry) {
      // The headword first, as lexora-cli inspect prints a look-up.
      std::cout << entry->headword << "\t" << entry->text << "\n";
    } else {
      std::cerr << "lexora-handheld: " << words[i] << ": "
                << (damage.empty() ? "not found" : damage) << "\n";
      status = 1;
    }
  }
  return finishOutput(status);
}

struct CommandSpec {
  std::string_view name;
  int (*run)(std::vector<std::string> args);
};

constexpr CommandSpec kCommands[] = {
    {"serve", serveCommand},
    {"list", listCommand},
    {"lookup", lookupCommand},
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + std::min(argc, 2), argv + argc);
  const std::string command = argc >= 2 ? argv[1] : "";
  if (command == "help") args.emplace_back("--help");
  if (const auto answered = helpOrVersion(command.starts_with("-") ? std::vector{command} : args)) {
    return finishOutput(*answered);
  }
  for (const CommandSpec& known : kCommands) {
    if (command == known.name) return known.run(std::move(args));
  }
  return usageError(command.empty() ? "no command given" : "unknown command " + command);
}
