#pragma once
// What passes between the program and the scripts it puts in the page, as plain data: the
// window.external channel's requests and answers, and the page's messages (a frame arrived, a
// document completed with a snapshot of its elements, a hooked element was clicked). Whatever
// the page sends, parsing gives a value: bad or missing members read as empty. GUI thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Com.h"
#include "platform/DocumentView.h"

namespace platform {

// A text as the channel carries it: printable ASCII as is, everything else (and '\' and ';')
// as \uXXXX, so NULs and lone surrogates pass whole.
std::string EscapeText(std::u16string_view text);
std::u16string UnescapeText(std::string_view text);

// Answers one request of the page's window.external against `external`:
//   G<name>  the member's id and value ("F<id>;<value>"), or "N" when there is none;
//   H<name>  the member's id only;
//   I<id>;<this>;<argN>;...;<arg1>  a method call, "R<value>" or "E";
//   P<id>;<value>  a property put.
// Values: s<text>, n<number>, b0/b1, z (null), o (an object), u (undefined).
std::string AnswerExternalRequest(IDispatch* external, const std::string& request);

struct PageMessage {
    enum Kind { None, Navigate, Complete, Click, Snapshot };
    Kind kind = None;
    bool top = false;  // about the top-level document
    std::u16string url;
    DocumentSnapshot document;          // Complete (top) and Snapshot: the document's elements
    uint32_t request = 0;               // Snapshot: the request it answers
    uint32_t cookie = 0;                // Click: the connection it is for
    std::optional<ElementData> source;  // Click: the element clicked, when described
};

// A message from the page script (JSON); kind None for anything that is no message.
PageMessage ParsePageMessage(const std::string& json);
// A document snapshot as the page script writes it (JSON: url, elements); nothing when the
// text is no JSON object. The generation is left 0.
std::optional<DocumentSnapshot> ParseDocumentSnapshot(const std::string& json);

}  // namespace platform
