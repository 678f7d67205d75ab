"""Browse load on the DLNA media server: THREADS keep-alive clients browse a container for
SECONDS; prints requests/s and latency percentiles.
    python3 bench/dlna_browse_load.py ADDRESS PORT SECONDS THREADS
"""
import http.client
import sys
import threading
import time

address, port, seconds, threads = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
BODY = ('<?xml version="1.0"?><s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/" '
        's:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"><s:Body>'
        '<u:Browse xmlns:u="urn:schemas-upnp-org:service:ContentDirectory:1">'
        '<ObjectID>1</ObjectID><BrowseFlag>BrowseDirectChildren</BrowseFlag><Filter>*</Filter>'
        '<StartingIndex>0</StartingIndex><RequestedCount>0</RequestedCount><SortCriteria/>'
        '</u:Browse></s:Body></s:Envelope>').encode()
HEADERS = {'Content-Type': 'text/xml; charset="utf-8"', 'Host': '%s:%d' % (address, port),
           'SOAPAction': '"urn:schemas-upnp-org:service:ContentDirectory:1#Browse"'}
latencies = []
failures = [0]
lock = threading.Lock()


def worker(end):
    mine = []
    connection = http.client.HTTPConnection(address, port, timeout=10)
    while time.time() < end:
        start = time.perf_counter()
        try:
            connection.request('POST', '/ContentDirectory/control', BODY, HEADERS)
            reply = connection.getresponse()
            reply.read()
            ok = reply.status == 200
        except (OSError, http.client.HTTPException):
            ok = False
            connection = http.client.HTTPConnection(address, port, timeout=10)
        if ok:
            mine.append(time.perf_counter() - start)
        else:
            with lock:
                failures[0] += 1
    with lock:
        latencies.extend(mine)


end = time.time() + seconds
pool = [threading.Thread(target=worker, args=(end,)) for _ in range(threads)]
for t in pool:
    t.start()
for t in pool:
    t.join()
latencies.sort()
n = len(latencies)
pct = lambda p: latencies[min(n - 1, int(n * p))] * 1000 if n else 0
print('browse requests/s %.0f p50 %.2f ms p99 %.2f ms failures %d' %
      (n / seconds, pct(0.5), pct(0.99), failures[0]))
