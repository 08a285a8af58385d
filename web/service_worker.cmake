# Writes the site's service worker from its template (sw.js): @FILES@ becomes the list of every
# file in the site, and @VERSION@ a digest of their names and contents, so that the cache it
# names changes whenever any file does.
#   cmake -DSITE=FOLDER -DTEMPLATE=sw.js -P service_worker.cmake
file(GLOB_RECURSE kept RELATIVE ${SITE} ${SITE}/*)
list(REMOVE_ITEM kept sw.js)
list(SORT kept)
set(listed "")
set(FILES "")
foreach(file IN LISTS kept)
  file(SHA256 ${SITE}/${file} digest)
  string(APPEND listed "${file} ${digest}\n")
  string(APPEND FILES "  '${file}',\n")
endforeach()
string(SHA256 digest "${listed}")
string(SUBSTRING ${digest} 0 16 VERSION)
configure_file(${TEMPLATE} ${SITE}/sw.js @ONLY)
