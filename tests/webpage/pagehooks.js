// The check's copy of the page loads this before its own script, in every
// browser alike. It counts the frames WebGL draws and notes when the first
// was drawn (milliseconds since navigation began), keeps the pointer and
// wheel events as the browser delivered them and every state of the
// download's progress the page showed, and plants the fault that the
// page's address names after its '#'.
"use strict";
(() => {
  const record = window.__check = { draws: 0, firstDraw: null, input: [], progress: [] };
  const contexts = [window.WebGLRenderingContext, window.WebGL2RenderingContext].filter(Boolean);
  for (const type of contexts) {
    const drawArrays = type.prototype.drawArrays;
    type.prototype.drawArrays = function (...args) {
      record.draws += 1;
      record.firstDraw ??= performance.now();
      return drawArrays.apply(this, args);
    };
  }
  // Wheel events count only over the viewer's screen, where they reach its
  // window. (WebKitWebDriver follows each wheel action with its opposite at
  // the page's corner.)
  for (const type of ["pointerdown", "pointermove", "pointerup", "wheel"]) {
    addEventListener(type, event => {
      if (type !== "wheel" || event.composedPath().includes(document.getElementById("screen")))
        record.input.push({ type, x: event.clientX, y: event.clientY, deltaY: event.deltaY, deltaMode: event.deltaMode });
    }, { capture: true, passive: true });
  }

  addEventListener("DOMContentLoaded", () => {
    const status = document.getElementById("status");
    new MutationObserver(() => {
      const text = status.querySelector("p")?.firstChild?.textContent ?? "";
      const bar = status.querySelector("progress");
      const last = record.progress.at(-1);
      if (!status.hidden && text !== last?.text)
        record.progress.push({ text, value: bar?.value ?? null, max: bar?.hasAttribute("max") ? bar.max : null });
    }).observe(status, { childList: true, characterData: true, subtree: true, attributes: true });
  });

  const faults = {
    // WebGL that rejects every shader the page compiles.
    "shaders-rejected": () => {
      for (const type of contexts) {
        const parameter = type.prototype.getShaderParameter;
        type.prototype.getShaderParameter = function (shader, name) {
          return name === this.COMPILE_STATUS ? false : parameter.call(this, shader, name);
        };
        type.prototype.getShaderInfoLog = () => "ERROR: 0:1: rejected by the check";
      }
    },
    // No WebGL context for a canvas in the page, where Qt draws; a canvas
    // outside it, as the page's own probe uses, still gets one.
    "no-context": () => {
      const getContext = HTMLCanvasElement.prototype.getContext;
      HTMLCanvasElement.prototype.getContext = function (type, ...rest) {
        return this.isConnected && /webgl/.test(type) ? null : getContext.call(this, type, ...rest);
      };
    },
  };
  faults[location.hash.slice(1)]?.();
})();
