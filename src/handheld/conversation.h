// The device's side of the transfer conversation: takes the PC's messages in order,
// acknowledges the name, each record (covering its key) and the end flag, checks every
// block, and stores each dictionary completed by its end flag. A dictionary cut off before
// its end flag is dropped, so the store never holds a partial one.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "handheld/dictionary_store.h"
#include "handheld/memory_budget.h"
#include "pack/packed_dictionary.h"
#include "pack/packed_image_check.h"
#include "pack/transfer_message.h"

namespace lexora::handheld {

// MessageType::Refusal is sent for anything the handheld could not handle; the payload
// then says why (UTF-8).
struct Acknowledgement {
  MessageType type = MessageType::Acknowledgement;
  std::string text;  // the payload
};

class Conversation {
 public:
  using Log = std::function<void(const std::string&)>;
  // `maxDictionaryBytes` bounds what one dictionary may hold in memory; `budget` (when
  // given) what all conversations together may hold. Beyond either, blocks are refused.
  Conversation(DictionaryStore& store, Log log, uint64_t maxDictionaryBytes = 1ull << 30,
               MemoryBudget* budget = nullptr);
  ~Conversation();
  Conversation(const Conversation&) = delete;
  Conversation& operator=(const Conversation&) = delete;

  // The acknowledgement `message` calls for; nullopt for a key message (the record's
  // acknowledgement covers it) and for message types the conversation does not know.
  // Taken by value: a block keeps its message's buffers rather than copying them.
  std::optional<Acknowledgement> handle(TransferMessage message);

  // The channel ended: a dictionary without its end flag is dropped.
  void abandon();

 private:
  Acknowledgement refuse(std::string reason);
  Acknowledgement finish(const TransferMessage& message);
  void drop(const std::string& why);
  void clear();

  DictionaryStore& store_;
  Log log_;
  const uint64_t maxBytes_;
  std::optional<PackedDictionary> dictionary_;
  PackedImageChecker checker_;  // of the open dictionary, block by block as they arrive
  std::optional<std::vector<uint8_t>> pendingKey_;
  uint64_t bytes_ = 0;
  MemoryBudget* budget_;
  uint64_t reserved_ = 0;        // taken from budget_ for the blocks held
  std::string damage_;           // why the open dictionary will not be stored
  bool damageReported_ = false;  // the PC was told through a refusal
};

}  // namespace lexora::handheld
