#version 330
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mModelViewMatrix;
	mat3 mNormalMatrix;
};
uniform float fScale;
in vec4 vVertex;
in vec3 vNormal;
out vec3 vVertexPosition;
out vec3 vNormalDirection;

void main() {
	vec4 vPosition = mModelViewMatrix * vec4(vVertex.xyz + vNormal * fScale, vVertex.w);
	vVertexPosition = vPosition.xyz;
	vNormalDirection = mNormalMatrix * vNormal;
	gl_Position = mProjectionMatrix * vPosition;
}
