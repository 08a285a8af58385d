// sw.js: the page's service worker. It keeps every file of the page in a cache of this build's
// own, so that the page works offline once it has been loaded: nothing it does needs a network.
// The build writes the list of files and the version, a digest of them all; a build that changes
// any file changes this script, which the browser then installs in place of the old one, and the
// old cache goes.
const VERSION = '@VERSION@';
const CACHE = `vornhold-${VERSION}`;
const FILES = [
  './',
@FILES@];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    for (const name of await caches.keys()) {
      if (name.startsWith('vornhold-') && name !== CACHE) await caches.delete(name);
    }
    await self.clients.claim();
  })());
});

// The page's own files come from the cache; anything else (or a file the cache lacks) from the
// network, as without a service worker.
self.addEventListener('fetch', (event) => {
  const { request } = event;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith((async () => {
    const cache = await caches.open(CACHE);
    return (await cache.match(request, { ignoreSearch: true })) ?? fetch(request);
  })());
});
