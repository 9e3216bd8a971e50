#include "handheld/conversation.h"

#include <utility>

#include "base/text_codec.h"

namespace lexora::handheld {
namespace {

std::string bytesText(const std::vector<uint8_t>& bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

Conversation::Conversation(DictionaryStore& store, Log log, uint64_t maxDictionaryBytes,
                           MemoryBudget* budget)
    : store_(store), log_(std::move(log)), maxBytes_(maxDictionaryBytes), budget_(budget) {}

Conversation::~Conversation() {
  clear();
}

Acknowledgement Conversation::refuse(std::string reason) {
  log_("refused: " + reason);
  if (dictionary_ && damage_.empty()) damage_ = reason;
  if (dictionary_) damageReported_ = true;
  if (reason.size() > 1000) reason.resize(1000);
  return {MessageType::Refusal, std::move(reason)};
}

void Conversation::drop(const std::string& why) {
  if (dictionary_) {
    log_("dropped dictionary \"" + utf16ToUtf8(dictionary_->name) + "\": " + why);
  }
  clear();
}

void Conversation::clear() {
  dictionary_.reset();
  checker_ = PackedImageChecker{};
  pendingKey_.reset();
  bytes_ = 0;
  if (budget_) budget_->release(reserved_);
  reserved_ = 0;
  damage_.clear();
  damageReported_ = false;
}

void Conversation::abandon() {
  if (dictionary_) drop("the channel ended before its end flag");
}

std::optional<Acknowledgement> Conversation::handle(TransferMessage message) {
  switch (message.type) {
    case MessageType::Name: {
      // A conversation stopped after its name, or cut short, simply ends here.
      if (dictionary_) drop("a new dictionary began before its end flag");
      const std::string name = bytesText(message.payload);
      std::string error;
      checker_ = PackedImageChecker{};
      if (!checker_.checkName(name, error)) return refuse(error);
      dictionary_ = PackedDictionary{utf8ToUtf16(name), {}, {}};
      bytes_ = name.size();
      log_("receiving dictionary \"" + name + "\"");
      return Acknowledgement{};
    }
    case MessageType::Key:
      if (dictionary_ && pendingKey_ && damage_.empty()) damage_ = "a key without its record";
      pendingKey_ = std::move(message.payload);
      return std::nullopt;
    case MessageType::Record: {
      if (!dictionary_) {
        pendingKey_.reset();
        return refuse("a record outside a dictionary (no name message)");
      }
      if (!pendingKey_) return refuse("a record without its key");
      PackedBlock block{std::move(*pendingKey_), std::move(message.payload)};
      pendingKey_.reset();
      bytes_ += block.keyBytes.size() + block.packedBytes.size();
      if (bytes_ > maxBytes_) return refuse("the dictionary is larger than the handheld accepts");
      // The same checks as `inspect`, key order across blocks included, so that nothing
      // is stored that a look-up could not search.
      std::string error;
      if (!checker_.checkBlock(block, error)) return refuse(error);
      // A block after a refused one is still checked, but the dictionary stays dropped.
      if (!damage_.empty()) return Acknowledgement{};
      const uint64_t size = block.keyBytes.size() + block.packedBytes.size();
      if (budget_ && !budget_->reserve(size)) {
        return refuse("the handheld has no memory left for the dictionary");
      }
      reserved_ += size;
      dictionary_->blocks.push_back(std::move(block));
      return Acknowledgement{};
    }
    case MessageType::End:
      return finish(message);
    default:
      log_("ignored a message of unknown type " +
           std::to_string(static_cast<unsigned>(message.type)));
      if (dictionary_ && damage_.empty()) damage_ = "a message of unknown type";
      return std::nullopt;
  }
}

Acknowledgement Conversation::finish(const TransferMessage& message) {
  if (!dictionary_) return refuse("an end flag outside a dictionary");
  if (!message.payload.empty() && damage_.empty()) damage_ = "an end flag with a payload";
  if (pendingKey_ && damage_.empty()) damage_ = "a key without its record";
  if (!damage_.empty()) {
    // When the PC already heard of the damage, the end flag itself went well; otherwise
    // this is the first it hears of it.
    const bool reported = damageReported_;
    const std::string why = damage_;
    drop(why);
    return {reported ? MessageType::Acknowledgement : MessageType::Refusal,
            "dictionary dropped: " + why};
  }
  std::filesystem::path path;
  std::string error;
  // Its memory stays reserved until it is stored: storing copies it once more.
  const PackedDictionary dictionary = std::move(*dictionary_);
  const uint64_t reserved = std::exchange(reserved_, 0);
  clear();
  const bool stored = store_.store(dictionary, path, error);
  if (budget_) budget_->release(reserved);
  if (!stored) {
    log_("cannot store \"" + utf16ToUtf8(dictionary.name) + "\": " + error);
    return {MessageType::Refusal, "cannot store the dictionary: " + error};
  }
  log_("stored \"" + utf16ToUtf8(dictionary.name) + "\" (" +
       std::to_string(dictionary.blocks.size()) + " blocks) as " + path.string());
  return Acknowledgement{};
}

}  // namespace lexora::handheld
