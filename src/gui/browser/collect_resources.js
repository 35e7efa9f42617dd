// Lists the URLs of everything the page shown uses or links to, in document
// order, each resolved by the browser against its document's base URL. Runs
// in an isolated world, so the page's own scripts cannot change what it sees
// of the language; its value is the array it ends with.
(function () {
    'use strict';
    const limit = 1000000;
    const urls = [];
    const seen = new Set();
    const skippedSchemes = new Set(['data:', 'blob:', 'javascript:']);
    const urlAttributes = new Set(['src', 'href', 'poster', 'background', 'data', 'lowsrc',
                                   'xlink:href', 'content']);
    const styleProperties = ['background-image', 'list-style-image', 'border-image-source',
                             'mask-image', '-webkit-mask-image', 'content', 'cursor'];
    const cssUrl = /url\(\s*(?:"((?:[^"\\]|\\.)*)"|'((?:[^'\\]|\\.)*)'|([^)'"\s]*))\s*\)/g;
    const absoluteUrl = /https?:\/\/[^\s"'<>\\)\]]+/g;
    const imageMeta = /^(og|twitter):(image|video|audio)(:url|:secure_url)?$/i;
    // Elements whose own style sets no picture worth asking for: asking every
    // element of a long gallery for its style is the slowest part.
    const styleless = new Set(['img', 'source', 'script', 'meta', 'link', 'style', 'title', 'br',
                               'option', 'head', 'html', 'noscript', 'template', 'track', 'wbr']);

    function add(value, base) {
        if (urls.length >= limit || typeof value !== 'string')
            return;
        value = value.trim();
        // Absolute values seen already (currentSrc after src) need no parsing.
        if (value === '' || seen.has(value))
            return;
        let url;
        try {
            url = new URL(value, base);
        } catch (e) {
            return;
        }
        if (skippedSchemes.has(url.protocol))
            return;
        const href = url.href;
        if (seen.has(href))
            return;
        seen.add(href);
        urls.push(href);
    }

    // A URL the browser has resolved already (an element's src or href).
    function addResolved(href) {
        if (urls.length >= limit || href === '' || seen.has(href))
            return;
        const colon = href.indexOf(':');
        if (colon < 0 || skippedSchemes.has(href.slice(0, colon + 1).toLowerCase()))
            return;
        seen.add(href);
        urls.push(href);
    }

    // Every candidate of a srcset: a URL, then descriptors up to a comma.
    function addSrcset(value, base) {
        const n = value.length;
        let i = 0;
        while (i < n) {
            while (i < n && (value[i] === ',' || /\s/.test(value[i])))
                ++i;
            const start = i;
            while (i < n && !/\s/.test(value[i]))
                ++i;
            let candidate = value.slice(start, i);
            if (candidate === '')
                break;
            if (candidate.endsWith(',')) {
                candidate = candidate.replace(/,+$/, '');
            } else {
                let depth = 0;
                for (; i < n; ++i) {
                    const c = value[i];
                    if (c === '(')
                        ++depth;
                    else if (c === ')')
                        --depth;
                    else if (c === ',' && depth <= 0)
                        break;
                }
            }
            add(candidate, base);
        }
    }

    function addCssUrls(text, base) {
        if (typeof text !== 'string' || text.indexOf('url(') < 0)
            return;
        cssUrl.lastIndex = 0;
        for (let m = cssUrl.exec(text); m !== null; m = cssUrl.exec(text))
            add((m[1] !== undefined ? m[1] : m[2] !== undefined ? m[2] : m[3]).replace(/\\(.)/g, '$1'), base);
    }

    // A data-* value: a URL on its own, or absolute URLs inside other text
    // (a list, a JSON object).
    function addData(name, value, base) {
        if (name.endsWith('srcset')) {
            addSrcset(value, base);
        } else if (!/\s/.test(value.trim()) && !/^[[{]/.test(value.trim())) {
            add(value, base);
        } else {
            absoluteUrl.lastIndex = 0;
            for (let m = absoluteUrl.exec(value); m !== null; m = absoluteUrl.exec(value))
                add(m[0], base);
        }
    }

    function addStyleOf(view, element, base) {
        const style = view.getComputedStyle(element);
        for (const property of styleProperties)
            addCssUrls(style.getPropertyValue(property), base);
    }

    function addElement(element, view, base) {
        const tag = element.localName;
        for (const attributeName of element.getAttributeNames()) {
            const name = attributeName.toLowerCase();
            const value = element.getAttribute(attributeName);
            if (name === 'srcset' || name === 'imagesrcset') {
                addSrcset(value, base);
            } else if (name === 'style') {
                addCssUrls(value, base);
            } else if (name.startsWith('data-')) {
                addData(name, value, base);
            } else if (name === 'content') {
                const kind = element.getAttribute('property') || element.getAttribute('name')
                    || element.getAttribute('itemprop') || '';
                if (tag === 'meta' && (imageMeta.test(kind) || kind === 'image'))
                    add(value, base);
            } else if (urlAttributes.has(name)) {
                // The element's own property holds the value resolved.
                const resolved = name === 'src' || name === 'href' || name === 'poster'
                    ? element[name] : undefined;
                if (typeof resolved === 'string' && resolved !== '')
                    addResolved(resolved);
                else
                    add(value, base);
            }
        }
        if (typeof element.currentSrc === 'string')
            addResolved(element.currentSrc);
        // Pseudo-elements are left to the style sheets' rules: asking for
        // their styles too would triple the time on a long page.
        if (view && !styleless.has(tag))
            addStyleOf(view, element, base);
    }

    function addStyleSheets(doc) {
        for (const sheet of doc.styleSheets) {
            let rules;
            try {
                rules = sheet.cssRules;
            } catch (e) {
                continue;  // another origin's sheet
            }
            const base = sheet.href || doc.baseURI;
            for (const rule of rules)
                addCssUrls(rule.cssText, base);
        }
    }

    function addDocument(doc) {
        const view = doc.defaultView;
        for (const element of doc.querySelectorAll('*')) {
            if (urls.length >= limit)
                return;
            try {
                addElement(element, view, doc.baseURI);
            } catch (e) {
                // One odd element does not end the collection.
            }
            if (element.localName === 'iframe' || element.localName === 'frame') {
                let inner = null;
                try {
                    inner = element.contentDocument;
                } catch (e) {
                    inner = null;  // another origin's frame
                }
                if (inner)
                    addDocument(inner);
            }
        }
        try {
            addStyleSheets(doc);
        } catch (e) {
        }
        try {
            for (const entry of view.performance.getEntriesByType('resource'))
                add(entry.name, doc.baseURI);
        } catch (e) {
        }
    }

    addDocument(document);
    return urls;
})();
