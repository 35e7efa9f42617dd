#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "core/http/url_resolution.h"

namespace vel {
namespace {

struct Case {
    const char* reference;
    const char* target;
};

void expectResolved(const char* base, const Case* begin, const Case* end)
{
    for (const Case* c = begin; c != end; ++c) {
        const std::optional<std::string> target = resolveUrlReference(base, c->reference);
        ASSERT_TRUE(target.has_value()) << c->reference;
        EXPECT_EQ(*target, c->target) << "reference " << c->reference << " against " << base;
    }
}

TEST(ResolveUrlReference, NormalExamplesOfTheStandard)
{
    static const Case cases[] = {
        {"g:h", "g:h"},
        {"g", "http://a/b/c/g"},
        {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},
        {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q#s"},
        {"g#s", "http://a/b/c/g#s"},
        {"g?y#s", "http://a/b/c/g?y#s"},
        {";x", "http://a/b/c/;x"},
        {"g;x", "http://a/b/c/g;x"},
        {"g;x?y#s", "http://a/b/c/g;x?y#s"},
        {"", "http://a/b/c/d;p?q"},
        {".", "http://a/b/c/"},
        {"./", "http://a/b/c/"},
        {"..", "http://a/b/"},
        {"../", "http://a/b/"},
        {"../g", "http://a/b/g"},
        {"../..", "http://a/"},
        {"../../", "http://a/"},
        {"../../g", "http://a/g"},
    };
    expectResolved("http://a/b/c/d;p?q", std::begin(cases), std::end(cases));
}

TEST(ResolveUrlReference, AbnormalExamplesOfTheStandard)
{
    static const Case cases[] = {
        {"../../../g", "http://a/g"},
        {"../../../../g", "http://a/g"},
        {"/./g", "http://a/g"},
        {"/../g", "http://a/g"},
        {"g.", "http://a/b/c/g."},
        {".g", "http://a/b/c/.g"},
        {"g..", "http://a/b/c/g.."},
        {"..g", "http://a/b/c/..g"},
        {"./../g", "http://a/b/g"},
        {"./g/.", "http://a/b/c/g/"},
        {"g/./h", "http://a/b/c/g/h"},
        {"g/../h", "http://a/b/c/h"},
        {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
        {"g;x=1/../y", "http://a/b/c/y"},
        {"g?y/./x", "http://a/b/c/g?y/./x"},
        {"g?y/../x", "http://a/b/c/g?y/../x"},
        {"g#s/./x", "http://a/b/c/g#s/./x"},
        {"g#s/../x", "http://a/b/c/g#s/../x"},
        {"http:g", "http:g"},
    };
    expectResolved("http://a/b/c/d;p?q", std::begin(cases), std::end(cases));
}

TEST(ResolveUrlReference, WhatPagesWrite)
{
    static const Case cases[] = {
        {"HTTPS://cdn.test/A.jpg", "https://cdn.test/A.jpg"},
        {"Http://h/x.gif", "http://h/x.gif"},
        {"//cdn.test/b.jpg", "https://cdn.test/b.jpg"},
        {"/static/c.jpg", "https://site.test/static/c.jpg"},
        {"img/d.jpg", "https://site.test/gallery/img/d.jpg"},
        {"../e.jpg", "https://site.test/e.jpg"},
        {"f.jpg?size=2&x=1", "https://site.test/gallery/f.jpg?size=2&x=1"},
        {"  g.jpg\n", "https://site.test/gallery/g.jpg"},
        {"h\t.jpg", "https://site.test/gallery/h.jpg"},
        // Shift-JIS bytes pass through untouched.
        {"\x8e\xca.jpg", "https://site.test/gallery/\x8e\xca.jpg"},
    };
    expectResolved("https://site.test/gallery/index.html", std::begin(cases), std::end(cases));
    // A base path that is the host alone.
    EXPECT_EQ(resolveUrlReference("http://h", "a.gif"),
              std::optional<std::string>("http://h/a.gif"));
}

TEST(ResolveUrlReference, NeedsAnAbsoluteBase)
{
    EXPECT_EQ(resolveUrlReference("/relative/base", "a.gif"), std::nullopt);
    EXPECT_EQ(resolveUrlReference("", "http://h/a.gif"), std::nullopt);
}

TEST(WithoutFragment, CutsAtTheFirstHash)
{
    EXPECT_EQ(withoutFragment("http://h/a.gif#x#y"), "http://h/a.gif");
    EXPECT_EQ(withoutFragment("http://h/a.gif"), "http://h/a.gif");
}

}  // namespace
}  // namespace vel
