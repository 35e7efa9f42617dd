// Resolves each [value, base URL] pair as the browser does: null for a value
// that names no URL. The program appends the call with the pairs.
(function (pairs) {
    'use strict';
    return pairs.map((pair) => {
        try {
            return new URL(pair[0], pair[1]).href;
        } catch (e) {
            return null;
        }
    });
})
