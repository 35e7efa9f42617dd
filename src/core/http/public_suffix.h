#pragma once

#include <string_view>

namespace vel {

// True when `domain` (a leading dot and ASCII case aside) is a public suffix
// on the Public Suffix List, a name under which anyone may register their own:
// "com", "co.jp", "ne.jp", "co.uk", "github.io". A name the list does not
// cover (an unknown top-level name like "lan") is not one, and neither is an
// empty name. Without a list to consult every name counts as one, so that no
// cookie is ever shared on a guess.
bool isPublicSuffix(std::string_view domain);

}  // namespace vel
