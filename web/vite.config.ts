import type { Plugin } from 'vite';
import { defineConfig } from 'vitest/config';

// The program opens the page from file://, where Chromium refuses module scripts and
// crossorigin requests (the page's origin is "null"). So the bundle is one classic script and
// the generated tags lose type="module" and crossorigin.
function classicScripts(): Plugin {
  return {
    name: 'amperlane-classic-scripts',
    enforce: 'post',
    transformIndexHtml(html) {
      return html
        .replace(/<script type="module" crossorigin/g, '<script defer')
        .replace(/ crossorigin/g, '');
    },
  };
}

export default defineConfig({
  base: './',
  plugins: [classicScripts()],
  build: {
    outDir: 'build',
    emptyOutDir: true,
    target: 'chrome100',
    modulePreload: false,
    cssCodeSplit: false,
    rollupOptions: {
      output: { format: 'iife' },
    },
  },
  test: {
    include: ['test/**/*.test.ts'],
  },
});
