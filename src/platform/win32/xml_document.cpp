// The XML DOM through MSXML 6 (DOMDocument60), the component every Windows since XP SP3
// carries. The calling thread joins COM's multithreaded apartment on first use when it
// has not joined an apartment yet (the command line's pack runs on no COM thread).
#include "platform/xml_document.h"

#include <windows.h>
// windows.h first: the COM headers need its types.
#include <msxml2.h>
#include <oleauto.h>

#include <limits>

namespace lexora {
namespace {

// MSXML 6's document class and the interface with setProperty; msxml2.h predates them.
constexpr CLSID kDomDocument60 = {
    0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
constexpr IID kIXmlDomDocument2 = {
    0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

// Joins the thread to COM for the rest of its life, once, when it is in no apartment yet.
class ThreadApartment {
 public:
  ThreadApartment() {
    const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // S_FALSE: already in the multithreaded apartment, which still counts one more join.
    joined_ = SUCCEEDED(result);
  }
  ~ThreadApartment() {
    if (joined_) CoUninitialize();
  }
  ThreadApartment(const ThreadApartment&) = delete;
  ThreadApartment& operator=(const ThreadApartment&) = delete;

 private:
  bool joined_ = false;
};

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T** out() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

class Bstr {
 public:
  explicit Bstr(std::u16string_view text)
      : b_(text.size() <= std::numeric_limits<UINT>::max()
               ? SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                   static_cast<UINT>(text.size()))
               : nullptr) {}
  Bstr() = default;
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return b_; }
  BSTR* out() { return &b_; }
  std::u16string text() const {
    return b_ ? std::u16string(reinterpret_cast<const char16_t*>(b_), SysStringLen(b_))
              : std::u16string();
  }

 private:
  BSTR b_ = nullptr;
};

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  ~Variant() { VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* out() { return &v_; }
  const VARIANT& get() const { return v_; }

 private:
  VARIANT v_;
};

XmlNode::Kind kindOf(DOMNodeType type) {
  switch (type) {
    case NODE_DOCUMENT:
      return XmlNode::Kind::Document;
    case NODE_ELEMENT:
      return XmlNode::Kind::Element;
    case NODE_TEXT:
      return XmlNode::Kind::Text;
    case NODE_CDATA_SECTION:
      return XmlNode::Kind::CData;
    case NODE_COMMENT:
      return XmlNode::Kind::Comment;
    case NODE_PROCESSING_INSTRUCTION:
      return XmlNode::Kind::ProcessingInstruction;
    default:
      return XmlNode::Kind::Other;
  }
}

// Reads `from` and everything below it; false when the component fails on any node.
bool copyTree(IXMLDOMNode* from, XmlNode& to) {
  DOMNodeType type = NODE_INVALID;
  Bstr name;
  if (FAILED(from->get_nodeType(&type)) || FAILED(from->get_nodeName(name.out()))) return false;
  to.kind = kindOf(type);
  to.name = name.text();
  Variant value;
  if (FAILED(from->get_nodeValue(value.out()))) return false;
  if (value.get().vt == VT_BSTR && value.get().bstrVal != nullptr) {
    to.value.assign(reinterpret_cast<const char16_t*>(value.get().bstrVal),
                    SysStringLen(value.get().bstrVal));
  }
  ComPtr<IXMLDOMNodeList> children;
  if (FAILED(from->get_childNodes(children.out())) || !children) return false;
  long count = 0;
  if (FAILED(children->get_length(&count))) return false;
  to.children.reserve(static_cast<size_t>(count > 0 ? count : 0));
  for (long i = 0; i < count; ++i) {
    ComPtr<IXMLDOMNode> child;
    if (FAILED(children->get_item(i, child.out())) || !child) return false;
    if (!copyTree(child.get(), to.children.emplace_back())) return false;
  }
  return true;
}

bool setProperty(IXMLDOMDocument2* document, std::u16string_view name, VARIANT value) {
  const Bstr property(name);
  return property.get() && SUCCEEDED(document->setProperty(property.get(), value));
}

}  // namespace

std::optional<XmlNode> parseXmlDocument(std::u16string_view text, const XmlParseOptions& options) {
  thread_local ThreadApartment apartment;
  ComPtr<IXMLDOMDocument2> document;
  if (FAILED(CoCreateInstance(kDomDocument60, nullptr, CLSCTX_INPROC_SERVER, kIXmlDomDocument2,
                              reinterpret_cast<void**>(document.out()))) ||
      !document) {
    return std::nullopt;
  }
  // Synchronous, no validation, nothing fetched: MSXML 6's defaults already forbid DTDs
  // and external resolution; they are set again so that no registry policy changes them.
  // A document type declaration is let through only when asked, and even then nothing
  // it names is resolved.
  VARIANT prohibit;
  VariantInit(&prohibit);
  prohibit.vt = VT_BOOL;
  prohibit.boolVal = options.allowDocumentType ? VARIANT_FALSE : VARIANT_TRUE;
  if (FAILED(document->put_async(VARIANT_FALSE)) ||
      FAILED(document->put_validateOnParse(VARIANT_FALSE)) ||
      FAILED(document->put_resolveExternals(VARIANT_FALSE)) ||
      FAILED(document->put_preserveWhiteSpace(options.keepWhiteSpace ? VARIANT_TRUE
                                                                     : VARIANT_FALSE)) ||
      !setProperty(document.get(), u"ProhibitDTD", prohibit)) {
    return std::nullopt;
  }
  const Bstr source(text);
  if (!source.get() && !text.empty()) return std::nullopt;
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (FAILED(document->loadXML(source.get(), &loaded)) || loaded != VARIANT_TRUE) {
    return std::nullopt;
  }
  XmlNode root;
  if (!copyTree(document.get(), root)) return std::nullopt;
  return root;
}

}  // namespace lexora
