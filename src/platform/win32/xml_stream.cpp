// XML events through MSXML 6's SAX2 reader, which pulls the file through a stream in pieces
// of its choosing: memory holds a piece and the elements open, never the document. The
// calling thread joins COM's multithreaded apartment on first use when it has not joined an
// apartment yet, as for the document.
#include "platform/xml_stream.h"

#include <windows.h>
// windows.h first: the COM headers need its types.
#include <msxml2.h>
#include <oleauto.h>

#include <memory>
#include <string>

#include "base/text_codec.h"
#include "platform/com_apartment.h"

namespace lexora {
namespace {

// MSXML 6's SAX reader class; msxml2.h predates it.
constexpr CLSID kSaxXmlReader60 = {
    0x88d96a0c, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
constexpr IID kISaxXmlReader = {
    0xa4f96ed0, 0xf829, 0x476e, {0x81, 0xc0, 0xcd, 0xc7, 0xbd, 0x2a, 0x08, 0x02}};
constexpr IID kISaxContentHandler = {
    0x1545cdfa, 0x9e4e, 0x4497, {0xa8, 0xa4, 0x2b, 0xf7, 0xd0, 0x11, 0x2c, 0x44}};
constexpr IID kISequentialStream = {
    0x0c733a30, 0x2a1c, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
constexpr IID kIUnknown = {
    0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct ComReleaser {
  void operator()(IUnknown* object) const { object->Release(); }
};

// The objects below live on the stack for the whole parse and outlive the reader that
// holds them, so their reference counts need not free anything.
template <class Interface>
class StackObject : public Interface {
 public:
  explicit StackObject(const IID& iid) : iid_(iid) {}
  HRESULT WINAPI QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, kIUnknown) || IsEqualIID(riid, iid_)) {
      *object = static_cast<Interface*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG WINAPI AddRef() override { return 2; }
  ULONG WINAPI Release() override { return 1; }

 private:
  const IID& iid_;
};

// The open file as the stream MSXML reads.
class FileStream : public StackObject<ISequentialStream> {
 public:
  explicit FileStream(std::FILE* file) : StackObject(kISequentialStream), file_(file) {}
  HRESULT WINAPI Read(void* buffer, ULONG size, ULONG* read) override {
    const size_t got = std::fread(buffer, 1, size, file_);
    if (read != nullptr) *read = static_cast<ULONG>(got);
    if (got == size) return S_OK;
    return std::ferror(file_) ? STG_E_READFAULT : S_FALSE;
  }
  HRESULT WINAPI Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }

 private:
  std::FILE* file_;
};

// Passes the events on in UTF-8. A failure returned ends the parse.
class ContentHandler : public StackObject<ISAXContentHandler> {
 public:
  explicit ContentHandler(XmlEvents& events) : StackObject(kISaxContentHandler), events_(events) {}

  HRESULT WINAPI startElement(const wchar_t*, int, const wchar_t*, int, const wchar_t* name,
                              int length, ISAXAttributes*) override {
    // Bounded here as well as by MSXML's own limit (the same by default), which a reader
    // built on another engine may lack.
    if (++depth_ > kXmlStreamMaxDepth) return E_FAIL;
    events_.startElement(utf8(name, length));
    return S_OK;
  }
  HRESULT WINAPI endElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*,
                            int) override {
    --depth_;
    events_.endElement();
    return S_OK;
  }
  HRESULT WINAPI characters(const wchar_t* text, int length) override {
    events_.text(utf8(text, length));
    return S_OK;
  }
  HRESULT WINAPI ignorableWhitespace(const wchar_t* text, int length) override {
    return characters(text, length);
  }
  HRESULT WINAPI putDocumentLocator(ISAXLocator*) override { return S_OK; }
  HRESULT WINAPI startDocument() override { return S_OK; }
  HRESULT WINAPI endDocument() override { return S_OK; }
  HRESULT WINAPI startPrefixMapping(const wchar_t*, int, const wchar_t*, int) override {
    return S_OK;
  }
  HRESULT WINAPI endPrefixMapping(const wchar_t*, int) override { return S_OK; }
  HRESULT WINAPI processingInstruction(const wchar_t*, int, const wchar_t*, int) override {
    return S_OK;
  }
  HRESULT WINAPI skippedEntity(const wchar_t*, int) override { return S_OK; }

 private:
  std::string_view utf8(const wchar_t* text, int length) {
    buffer_.clear();
    if (length > 0) {
      appendUtf8(buffer_, std::u16string_view(reinterpret_cast<const char16_t*>(text),
                                              static_cast<size_t>(length)));
    }
    return buffer_;
  }

  XmlEvents& events_;
  std::string buffer_;
  int depth_ = 0;
};

}  // namespace

bool readXmlStream(std::FILE* file, XmlEvents& events) {
  thread_local ComApartment apartment;
  ISAXXMLReader* created = nullptr;
  if (FAILED(CoCreateInstance(kSaxXmlReader60, nullptr, CLSCTX_INPROC_SERVER, kISaxXmlReader,
                              reinterpret_cast<void**>(&created))) ||
      created == nullptr) {
    return false;
  }
  ContentHandler handler(events);
  FileStream stream(file);
  const std::unique_ptr<ISAXXMLReader, ComReleaser> reader(created);
  // A document type declaration is let through (MSXML 6 refuses one by default), but
  // nothing it names is fetched: MSXML 6's defaults already say so, and they are set again
  // so that no policy changes them.
  if (FAILED(reader->putFeature(L"prohibit-dtd", VARIANT_FALSE)) ||
      FAILED(reader->putFeature(L"http://xml.org/sax/features/external-general-entities",
                                VARIANT_FALSE)) ||
      FAILED(reader->putFeature(L"http://xml.org/sax/features/external-parameter-entities",
                                VARIANT_FALSE)) ||
      FAILED(reader->putContentHandler(&handler))) {
    return false;
  }
  VARIANT input;
  VariantInit(&input);
  input.vt = VT_UNKNOWN;
  input.punkVal = static_cast<ISequentialStream*>(&stream);
  const HRESULT parsed = reader->parse(input);
  reader->putContentHandler(nullptr);
  return SUCCEEDED(parsed);
}

}  // namespace lexora
