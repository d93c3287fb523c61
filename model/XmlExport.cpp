// Exporting an album as a small XML document through the platform's XML DOM.
#include <album.h>

#include <objbase.h>
#include <msxml.h>
#include <stdio.h>
#include <string.h>

#include <memory>
#include <new>

#include "platform/AllocFaults.h"
#include "platform/Path.h"

namespace {

// DOMDocument and IXMLDOMDocument, as published by the XML component.
const CLSID kDomDocumentClass = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kDomDocumentInterface = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// A COM interface pointer released at the end of its scope.
template <typename T>
class ComRef {
public:
  ComRef() = default;
  ~ComRef() {
    if (p_) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T** Out() { return &p_; }
  T* operator->() const { return p_; }
  T* Get() const { return p_; }

private:
  T* p_ = nullptr;
};

// Strings are the component's own allocations too: a test can make any
// one of them fail (AllocFaults.h).
BSTR NewString(const wchar_t* text) { return AllocationMustFail() ? nullptr : SysAllocString(text); }

BSTR NewStringOfLength(UINT length) { return AllocationMustFail() ? nullptr : SysAllocStringLen(nullptr, length); }

class Bstr {
public:
  explicit Bstr(const wchar_t* text) : value_(NewString(text)) {}
  // ANSI text from the system code page.
  explicit Bstr(const char* text) {
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    value_ = length > 0 ? NewStringOfLength(static_cast<UINT>(length - 1)) : NewString(L"");
    if (value_ && length > 1) MultiByteToWideChar(CP_ACP, 0, text, -1, value_, length);
  }
  ~Bstr() { SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR Get() const { return value_; }
  explicit operator bool() const { return value_ != nullptr; }

private:
  BSTR value_;
};

class ComApartment {
public:
  ComApartment() : result_(CoInitialize(nullptr)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

private:
  HRESULT result_;
};

// A file's name without folder and extension.
void BaseName(const char* path, char* out, size_t capacity) {
  SplitPathParts parts;
  SplitAlbumPathParts(path, &parts);
  snprintf(out, capacity, "%s", parts.fname);
}

class XmlWriter {
public:
  explicit XmlWriter(IXMLDOMDocument* document) : document_(document) {}

  // A new element; null when the DOM refuses.
  IXMLDOMNode* Create(const wchar_t* name) {
    Bstr nodeName(name);
    Bstr noNamespace(L"");
    VARIANT type;
    VariantInit(&type);
    type.vt = VT_I4;
    type.lVal = NODE_ELEMENT;
    IXMLDOMNode* node = nullptr;
    if (!nodeName || FAILED(document_->createNode(type, nodeName.Get(), noNamespace.Get(), &node))) return nullptr;
    return node;
  }

  // Appends a new element with the given text to parent.
  bool AddText(IXMLDOMNode* parent, const wchar_t* name, const char* text) {
    ComRef<IXMLDOMNode> node;
    *node.Out() = Create(name);
    if (!node.Get()) return false;
    Bstr value(text);
    if (!value || FAILED(node->put_text(value.Get()))) return false;
    return Append(parent, node.Get());
  }

  bool Append(IXMLDOMNode* parent, IXMLDOMNode* child) {
    ComRef<IXMLDOMNode> added;
    return SUCCEEDED(parent->appendChild(child, added.Out()));
  }

private:
  IXMLDOMDocument* document_;  // not owned
};

int WriteAlbumXml(CAlbumDoc2* album, const char* albumPath, const char* outputPath) {
  ComRef<IXMLDOMDocument> document;
  if (FAILED(CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_INPROC_SERVER, kDomDocumentInterface,
                              reinterpret_cast<void**>(document.Out())))) {
    return -1;
  }
  XmlWriter xml(document.Get());
  ComRef<IXMLDOMNode> root;
  *root.Out() = xml.Create(L"album");
  if (!root.Get()) return -1;

  char title[MAX_PATH];
  BaseName(albumPath, title, sizeof(title));
  if (!xml.AddText(root.Get(), L"title", title) || !xml.AddText(root.Get(), L"desc", album->GetDescription())) {
    return -1;
  }
  ComRef<IXMLDOMNode> thumbnails;
  *thumbnails.Out() = xml.Create(L"thumbnails");
  if (!thumbnails.Get() || !xml.Append(root.Get(), thumbnails.Get())) return -1;

  for (int i = 0; i < album->GetCount(); ++i) {
    const tagALBUMINFOHEADER* info = album->GetThumbnail(i + 1)->GetInfo();
    ComRef<IXMLDOMNode> thumbnail;
    *thumbnail.Out() = xml.Create(L"thumbnail");
    if (!thumbnail.Get()) return -1;
    char sequence[16];
    snprintf(sequence, sizeof(sequence), "%d", i);
    char description[MAX_PATH];
    if (info->aiDescription[0]) {
      snprintf(description, sizeof(description), "%s", info->aiDescription);
    } else {
      BaseName(info->aiPath, description, sizeof(description));
    }
    if (!xml.AddText(thumbnail.Get(), L"seq", sequence) || !xml.AddText(thumbnail.Get(), L"link", info->aiPath) ||
        !xml.AddText(thumbnail.Get(), L"desc", description) || !xml.Append(thumbnails.Get(), thumbnail.Get())) {
      return -1;
    }
  }

  ComRef<IXMLDOMNode> documentNode;
  if (FAILED(document->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(documentNode.Out()))) ||
      !xml.Append(documentNode.Get(), root.Get())) {
    return -1;
  }
  Bstr target(outputPath);
  if (!target) return -1;
  VARIANT destination;
  VariantInit(&destination);
  destination.vt = VT_BSTR;
  destination.bstrVal = target.Get();
  return document->save(destination) == S_OK ? 0 : -1;
}

}  // namespace

ALBUM_API int __stdcall CreateXabm(const char* albumPath, const char* outputPath) {
  if (!albumPath || !outputPath) return -1;
  ComApartment apartment;
  try {
    std::unique_ptr<CAlbumDoc2> album(new CAlbumDoc2);
    // Changed items are refreshed in memory, but the album is written back
    // only once the export is saved: a failed export leaves it as it was.
    album->SetAutoCheck(0);
    if (!album->Load(albumPath, 1)) return -2;
    int refreshed = 0;
    for (int i = 1; i <= album->GetCount(); ++i) {
      if (album->Refresh(album->GetThumbnail(i)) == 1) ++refreshed;
    }
    int result = WriteAlbumXml(album.get(), albumPath, outputPath);
    if (result == 0 && refreshed > 0) album->Save(albumPath);
    return result;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}
