// The page's controls as a visitor uses them, for the browser tests that drive the page: choosing,
// dropping and pasting files, waiting for what a slot or a section says, and downloading.
import { existsSync, readdirSync, readFileSync, rmSync } from 'node:fs';
import { join } from 'node:path';

export function controls(page, downloads) {
  // A part's status ('carrier', ..., 'coded') or message ('encode', 'decode') and its error.
  const said = (part) => page.evaluate((part) => {
    const status = document.getElementById(`${part}-status`) ?? document.getElementById(`${part}-message`);
    return { text: status.textContent, kind: status.className, error: document.getElementById(`${part}-error`).textContent };
  }, part);

  const self = {
    said,

    async chooseFile(slot, path) {
      const [chooser] = await Promise.all([page.waitForFileChooser(), page.click(`label.file-button[for="${slot}-file"]`)]);
      await chooser.accept([path]);
    },

    // Drops files ({name, bytes}) on the element `selector` finds, as a browser does: a dragover
    // there, then the drop.
    async dropFiles(selector, files) {
      await page.evaluate((selector, files) => {
        const transfer = new DataTransfer();
        for (const { name, base64 } of files) {
          transfer.items.add(new File([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))], name));
        }
        const at = document.querySelector(selector);
        for (const type of ['dragover', 'drop']) {
          at.dispatchEvent(new DragEvent(type, { dataTransfer: transfer, bubbles: true, cancelable: true }));
        }
      }, selector, files.map(({ name, bytes }) => ({ name, base64: bytes.toString('base64') })));
    },

    // Dispatches a dragover of one file at `selector`: the slots marked as taking the drop.
    async dropTargets(selector) {
      return page.evaluate((selector) => {
        const transfer = new DataTransfer();
        transfer.items.add(new File(['x'], 'x.png'));
        document.querySelector(selector).dispatchEvent(new DragEvent('dragover', { dataTransfer: transfer, bubbles: true, cancelable: true }));
        const marked = [...document.querySelectorAll('.slot.dropping')].map((slot) => slot.dataset.slot);
        window.dispatchEvent(new DragEvent('dragleave', { relatedTarget: null }));
        return marked;
      }, selector);
    },

    // Pastes a file ({name, bytes}) with the focus on `selector`, as Ctrl+V with it on the
    // clipboard does.
    async pasteFile(selector, { name, bytes }) {
      await page.focus(selector);
      await page.evaluate((name, base64) => {
        const transfer = new DataTransfer();
        transfer.items.add(new File([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))], name, { type: 'image/png' }));
        document.activeElement.dispatchEvent(new ClipboardEvent('paste', { clipboardData: transfer, bubbles: true, cancelable: true }));
      }, name, bytes.toString('base64'));
    },

    // Waits until a slot holds the picture shown as `label`, read and ready: its status.
    async waitForFile(slot, label) {
      await page.waitForFunction((slot, label) => {
        const status = document.getElementById(`${slot}-status`);
        return status.classList.contains('ready') && status.textContent.startsWith(`${label}:`);
      }, {}, slot, label);
      return (await said(slot)).text;
    },

    // Waits until a part's error says something: its text.
    async waitForError(part) {
      await page.waitForFunction((part) => document.getElementById(`${part}-error`).textContent !== '', {}, part);
      return (await said(part)).error;
    },

    // The message of a section once it matches `pattern`.
    async waitForMessage(part, pattern) {
      await page.waitForFunction((part, source) => new RegExp(source).test(document.getElementById(`${part}-message`).textContent),
        { timeout: 120_000 }, part, pattern.source);
      return (await said(part)).text;
    },

    // The kit's notes a section lists, once one matches `pattern`.
    async waitForNotes(part, pattern) {
      await page.waitForFunction((part, source) => [...document.querySelectorAll(`#${part}-notes li`)]
        .some((note) => new RegExp(source).test(note.textContent)), {}, part, pattern.source);
      return page.$$eval(`#${part}-notes li`, (notes) => notes.map((note) => note.textContent));
    },

    // Clicks a download link and gives back the file once the browser has written it whole,
    // with the link's name for it and its text.
    async download(selector) {
      const { name, text } = await page.$eval(selector, (link) => ({ name: link.download, text: link.textContent }));
      const path = join(downloads, name);
      rmSync(path, { force: true });
      await page.click(selector);
      for (let tries = 0; tries < 200; tries++) {
        const pending = readdirSync(downloads).some((file) => file.endsWith('.crdownload'));
        if (!pending && existsSync(path)) return Object.assign(readFileSync(path), { fileName: name, text });
        await new Promise((resolve) => setTimeout(resolve, 50));
      }
      throw new Error(`${name} was not downloaded`);
    },

    async typeInto(selector, text) {
      await page.$eval(selector, (field) => { field.value = ''; });
      await page.type(selector, text);
    },

    // Removes every picture the slots hold.
    async clearSlots() {
      for (const remove of await page.$$('.slot .remove:not([hidden])')) await remove.click();
    },
  };
  return self;
}

// Lets the browser write downloads into `folder`.
export async function allowDownloads(page, folder) {
  const client = await page.createCDPSession();
  await client.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
}
