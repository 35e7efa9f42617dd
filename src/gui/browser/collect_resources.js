// Reads the page shown for the references VEL lists: for the page and each
// same-origin frame, its document's markup as the browser serializes it (the
// live DOM, with what scripts inserted), its base URL, which collected
// document each of its frames is, and the URLs only the live document knows,
// each resolved by the browser. Runs in an isolated world, so the page's own
// scripts cannot change what it sees of the language; its value is the list
// of documents it ends with, the page's first.
//
// A gallery has tens of thousands of elements: reading each from script (its
// wrapper, its attribute strings, a string per URL) makes the engine collect
// garbage across the whole document, which takes seconds. The markup is one
// string; the program reads the references out of it.
(function () {
    'use strict';
    const limit = 1000000;
    const styleProperties = ['background-image', 'list-style-image', 'border-image-source',
                             'mask-image', '-webkit-mask-image', 'content', 'cursor'];
    // Elements whose own style sets no picture worth asking for.
    const styleless = 'img,source,script,meta,link,style,title,br,option,head,html,noscript,' +
        'template,track,wbr,iframe,frame';
    const cssUrl = /url\(\s*(?:"((?:[^"\\]|\\.)*)"|'((?:[^'\\]|\\.)*)'|([^)'"\s]*))\s*\)/g;
    const documents = [];

    // Adds each value resolved against `base` to `urls`.
    function collector(base, urls = []) {
        return {
            urls: urls,
            add(value) {
                if (urls.length >= limit || typeof value !== 'string' || value === '')
                    return;
                try {
                    urls.push(new URL(value, base).href);
                } catch (e) {
                    // not a URL
                }
            },
        };
    }

    function addCssUrls(text, into) {
        if (typeof text !== 'string' || text.indexOf('url(') < 0)
            return;
        cssUrl.lastIndex = 0;
        for (let m = cssUrl.exec(text); m !== null; m = cssUrl.exec(text))
            into.add((m[1] !== undefined ? m[1] : m[2] !== undefined ? m[2] : m[3]).replace(/\\(.)/g, '$1'));
    }

    function sheetsOf(doc) {
        return Array.from(doc.styleSheets).concat(Array.from(doc.adoptedStyleSheets || []));
    }

    // Adds to `urls` the url(...)s of every rule of the sheets that can be
    // read, @import-ed sheets included, each against its sheet's URL; answers
    // whether some sheet could not be read (another origin's).
    function addStyleSheets(sheets, baseUrl, urls) {
        let unreadable = false;
        for (const sheet of sheets) {
            let rules;
            try {
                rules = sheet.cssRules;
            } catch (e) {
                unreadable = true;
                continue;
            }
            const sheetUrl = sheet.href || baseUrl;
            const sheetInto = collector(sheetUrl, urls);
            for (const rule of rules) {
                if (rule.styleSheet)
                    unreadable = addStyleSheets([rule.styleSheet], sheetUrl, urls) || unreadable;
                addCssUrls(rule.cssText, sheetInto);
            }
        }
        return unreadable;
    }

    // What markup cannot tell: the candidate a srcset or <source> chose, the
    // pictures style sheets that no script may read give elements, the rules
    // of the sheets, and the resources the document has loaded.
    function otherUrls(doc) {
        const into = collector(doc.baseURI);
        const sheetUrls = [];
        let unreadableSheet = false;
        const steps = [
            () => {
                for (const element of doc.querySelectorAll('img[srcset],picture img,video,audio'))
                    into.add(element.currentSrc);
            },
            () => {
                unreadableSheet = addStyleSheets(sheetsOf(doc), doc.baseURI, sheetUrls);
            },
            () => {
                if (!unreadableSheet)
                    return;
                const view = doc.defaultView;
                for (const element of doc.querySelectorAll(':not(' + styleless + ')')) {
                    if (into.urls.length >= limit)
                        return;
                    const style = view.getComputedStyle(element);
                    for (const property of styleProperties)
                        addCssUrls(style.getPropertyValue(property), into);
                }
            },
            () => {
                for (const url of sheetUrls) {
                    if (into.urls.length < limit)
                        into.urls.push(url);
                }
            },
            () => {
                for (const entry of doc.defaultView.performance.getEntriesByType('resource'))
                    into.add(entry.name);
            },
        ];
        for (const step of steps) {
            try {
                step();
            } catch (e) {
                // One part that cannot be read does not end the collection.
            }
        }
        return into.urls;
    }

    function describe(doc) {
        const index = documents.length;
        documents.push(null);
        const frames = [];
        for (const frame of doc.querySelectorAll('iframe,frame')) {
            let inner = null;
            try {
                inner = frame.contentDocument;
            } catch (e) {
                inner = null;  // another origin's frame
            }
            frames.push(inner ? describe(inner) : -1);
        }
        const markup = doc.documentElement ? doc.documentElement.outerHTML : '';
        documents[index] = [markup, doc.baseURI, frames, otherUrls(doc)];
        return index;
    }

    describe(document);
    return documents;
})();
