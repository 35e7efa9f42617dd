// Resolves each [value, base index] pair against its base URL as the browser
// does: null for a value that names no URL. The program appends the call with
// the base URLs and the pairs.
(function (bases, pairs) {
    'use strict';
    return pairs.map((pair) => {
        try {
            return new URL(pair[0], bases[pair[1]]).href;
        } catch (e) {
            return null;
        }
    });
})
