#pragma once

#include <functional>
#include <string_view>

namespace vel {

// Where a resource reference's value goes once found: the value as written
// (character references decoded), not yet resolved.
using ReferenceSink = std::function<void(std::string_view value)>;

// Every candidate URL of a srcset value ("a.jpg 1x, b.jpg 2x"), in order; a
// URL may hold commas ("w640.jpg?crop=1,2 640w").
void forEachSrcsetCandidate(std::string_view srcset, const ReferenceSink& sink);

// Every url(...) of CSS text, quoted or not, with its backslash escapes
// removed.
void forEachCssUrl(std::string_view css, const ReferenceSink& sink);

// The URLs a data-* attribute holds: a srcset when its name ends in "srcset";
// the value itself when it is one word; else the absolute http(s) URLs written
// inside it (a list, a JSON object).
void forEachDataAttributeUrl(std::string_view name, std::string_view value,
                             const ReferenceSink& sink);

// True when a <meta> whose property, name or itemprop is `kind` names a
// picture, video or sound by its content ("og:image", "twitter:image:src"
// excluded, "image").
bool isMediaMetaKind(std::string_view kind);

}  // namespace vel
