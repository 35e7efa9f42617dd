#include "core/http/public_suffix.h"

#include <memory>
#include <string>

#include <libpsl.h>

#include "core/text/code_page.h"

namespace vel {

namespace {

struct ListDeleter {
    void operator()(psl_ctx_t* list) const { psl_free(list); }
};

// The newest list at hand, read once: the system's copy when it is newer than
// the one built into libpsl. Read-only afterwards, so any thread may ask.
const psl_ctx_t* suffixList()
{
    static const std::unique_ptr<psl_ctx_t, ListDeleter> latest(psl_latest(nullptr));
    return latest ? latest.get() : psl_builtin();
}

}  // namespace

bool isPublicSuffix(std::string_view domain)
{
    if (!domain.empty() && domain.front() == '.')
        domain.remove_prefix(1);
    if (domain.empty())
        return false;
    const psl_ctx_t* list = suffixList();
    if (!list)
        return true;
    // libpsl wants lower case; a NUL inside would cut the name short.
    const std::string name = toLowerAscii(domain);
    if (name.find('\0') != std::string::npos)
        return true;
    // Without the star rule a top-level name the list does not know (an
    // intranet's "lan", "internal") does not make its own domains public.
    return psl_is_public_suffix2(list, name.c_str(), PSL_TYPE_ANY | PSL_TYPE_NO_STAR_RULE) != 0;
}

}  // namespace vel
