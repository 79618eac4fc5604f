// An HTTPS + HTTP/2 server on 127.0.0.1 that breaks its connection once, on purpose, at one
// request: the way a busy server or a middlebox lets a client down before it answered.
//   node h2_breaking_server.js CERT KEY MODE AT
// MODE: reset   the TCP connection is cut under the streams in flight
//       goaway  GOAWAY with an error, naming none of the streams in flight as processed
//       rst     the stream is reset with an internal error before any answer
//       midbody the answer begins, then the connection is cut (not a failed connection)
// /pN.jpg answers N-dependent bytes (see PictureBytes in the test); prints "port N" when ready.
'use strict';
const fs = require('fs');
const http2 = require('http2');

const [cert, key, mode, at] = process.argv.slice(2);
const breakAt = Number(at);
let requests = 0;
let broken = false;

function picture(n) {
  const body = Buffer.alloc(20000 + n * 37);
  for (let i = 0; i < body.length; ++i) body[i] = (i * 7 + n) % 251;
  return body;
}

const server = http2.createSecureServer({cert: fs.readFileSync(cert), key: fs.readFileSync(key)});
// The session only lends a guarded view of its socket: the real one is cut through this map.
const sockets = new Map();
server.on('secureConnection', (socket) => {
  sockets.set(socket.remotePort, socket);
  socket.on('close', () => sockets.delete(socket.remotePort));
});
const cut = (session) => sockets.get(session.socket.remotePort).destroy();
server.on('stream', (stream, headers) => {
  stream.on('error', () => {});
  const match = /^\/p(\d+)\.jpg$/.exec(headers[':path']);
  if (!match) {
    stream.respond({':status': 404});
    stream.end();
    return;
  }
  const body = picture(Number(match[1]));
  if (++requests === breakAt && !broken) {
    broken = true;
    const session = stream.session;
    if (mode === 'reset') {
      cut(session);
    } else if (mode === 'goaway') {
      session.goaway(http2.constants.NGHTTP2_INTERNAL_ERROR, 0);
      setTimeout(() => session.destroy(), 20);
    } else if (mode === 'rst') {
      stream.close(http2.constants.NGHTTP2_INTERNAL_ERROR);
    } else if (mode === 'midbody') {
      stream.respond({':status': 200, 'content-type': 'image/jpeg'});
      stream.write(body.subarray(0, 1000), () => setTimeout(() => cut(session), 20));
    }
    return;
  }
  stream.respond({':status': 200, 'content-type': 'image/jpeg', 'content-length': body.length});
  stream.end(body);
});
server.on('sessionError', () => {});
server.listen(0, '127.0.0.1', () => process.stdout.write(`port ${server.address().port}\n`));
