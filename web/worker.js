// The page's worker: loads the module once, then converts each file it is
// sent, so that the page stays responsive, telling the page how far it is.
'use strict';

let ready = null;

self.onmessage = async (event) => {
  const message = event.data;
  if (message.type === 'init') {
    ready = loadMcaModule(message.wasm);
    return;
  }
  let reply;
  try {
    const progress = (phase, done, total) => self.postMessage({ id: message.id, progress: { phase, done, total } });
    const result = await convertMca(await ready, new Uint8Array(message.bytes), undefined, progress);
    reply = { id: message.id, ...result };
  } catch (error) {
    reply = { id: message.id, ok: false, error: String(error && error.message ? error.message : error) };
  }
  self.postMessage(reply, reply.preview ? [reply.preview.rgba.buffer] : []);
};
